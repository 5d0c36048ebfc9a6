#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLineEdit;

namespace velmora {

// Our small reply window for notification servers without an inline reply field: the notification's
// title, a text field and "send". Sending an empty text is not offered.
class ReplyDialog final : public QDialog {
    Q_OBJECT
  public:
    ReplyDialog(const QString& title, std::function<void(const QString&)> done, QWidget* parent = nullptr);

    // Opens a dialog that deletes itself when closed; the AskReply of FreedesktopNotifications.
    static void ask(const QString& title, std::function<void(const QString&)> done);

    QLineEdit* field() const { return field_; }

  private:
    QLineEdit* field_;
};

}  // namespace velmora
