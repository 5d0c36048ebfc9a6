#include "platform/notifications/reply_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "core/l10n/l10n.h"

namespace velmora {

ReplyDialog::ReplyDialog(const QString& title, std::function<void(const QString&)> done, QWidget* parent)
    : QDialog(parent), field_(new QLineEdit(this)) {
    setWindowTitle(QString::fromStdString(L10n::string("notif.reply")));
    auto* heading = new QLabel(title, this);
    heading->setWordWrap(true);
    heading->setTextFormat(Qt::PlainText);  // the phone's text, never markup
    field_->setPlaceholderText(QString::fromStdString(L10n::string("notif.placeholder")));
    field_->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromStdString(L10n::string("notif.cancel")), QDialogButtonBox::RejectRole);
    QPushButton* send =
        buttons->addButton(QString::fromStdString(L10n::string("notif.send")), QDialogButtonBox::AcceptRole);
    send->setDefault(true);
    send->setEnabled(false);
    connect(field_, &QLineEdit::textChanged, send,
            [send](const QString& t) { send->setEnabled(!t.isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, [this, done = std::move(done)] {
        if (!field_->text().isEmpty()) done(field_->text());
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(field_);
    layout->addWidget(buttons);
}

void ReplyDialog::ask(const QString& title, std::function<void(const QString&)> done) {
    auto* dialog = new ReplyDialog(title, std::move(done));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

}  // namespace velmora
