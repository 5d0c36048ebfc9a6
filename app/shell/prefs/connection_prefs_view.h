#pragma once

#include <QWidget>

#include "app/shell/prefs/prefs_actions.h"

class QVBoxLayout;

namespace velmora {

class ListCard;

// One connection kind in the order list: handle, position, title and detail, move buttons, switch. The row
// can be grabbed anywhere that is not a control and dropped onto another row; it accepts a dropped kind
// name and hands it to `dropped`.
class ConnectionRow : public QWidget {
    Q_OBJECT
  public:
    ConnectionRow(const std::vector<LinkPref>& prefs, std::size_t index, PrefsActions& actions,
                  std::function<void()> changed, QWidget* parent = nullptr);
    ConnKind kind() const { return kind_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    ConnKind kind_;
    QString title_;
    PrefsActions& actions_;
    std::function<void()> changed_;
    QPoint pressedAt_;
};

// The connection order: its card of rows, the drag hint and the two presets. Rebuilt from the values each
// time they change. Main thread only.
class ConnectionPrefsView : public QWidget {
    Q_OBJECT
  public:
    ConnectionPrefsView(PrefsActions& actions, std::function<void()> changed, QWidget* parent = nullptr);
    void show(const PrefsValues& values);
    QList<ConnectionRow*> rows() const;

  private:
    PrefsActions& actions_;
    std::function<void()> changed_;
    QVBoxLayout* column_;
    ListCard* card_ = nullptr;
    std::vector<LinkPref> shown_;
};

}  // namespace velmora
