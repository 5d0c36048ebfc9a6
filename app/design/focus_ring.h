#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace velmora {

class OutsideDecoration;

// The keyboard focus indicator of the kit's custom controls: a 2-pixel accent band just outside the control,
// with the control's own corner radius. It shows only when the control got focus from the keyboard (Tab,
// Backtab, a shortcut), never after a click, and it never changes the control's geometry. It lives as a child
// of the control. Main thread only.
class KeyFocusRing : public QObject {
    Q_OBJECT
  public:
    KeyFocusRing(QWidget* control, double radius);
    ~KeyFocusRing() override;

    bool isShown() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* control_;
    QPointer<OutsideDecoration> ring_;
    bool byKeyboard_ = false;
};

// Adds the ring to `control` (the kit's equivalent of decorating a view with it).
KeyFocusRing* keyFocusRing(QWidget* control, double radius);

// Switches the style's own focus frame off for `root` and every widget inside it, now and later, so stock
// widgets in a kit panel show no second focus indicator.
void noFocusRing(QWidget* root);

}  // namespace velmora
