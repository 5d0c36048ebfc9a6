#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

namespace velmora {

// Paint that belongs to a control but lies outside its bounds (a focus ring, a drop shadow), which a widget
// cannot draw itself. It is a widget `margin` pixels larger than the control on every side, following its
// geometry and visibility; it takes no clicks, no focus and no part in layouts, so the control's own size and
// position never change because of it. It lives in the nearest ancestor with room for it (a tight container
// would clip it), laid over everything there or just under the control's branch. Main thread only.
class OutsideDecoration : public QWidget {
  public:
    // `paint` gets the control's rectangle in this widget's coordinates.
    using Paint = std::function<void(QPainter& painter, const QRectF& control)>;

    OutsideDecoration(QWidget* control, int margin, bool above, Paint paint);

    // Whether the owner wants it shown; it shows only while the control is visible too.
    void setWanted(bool wanted);
    bool isWanted() const { return wanted_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void follow();
    QWidget* hostFor(const QRect& wanted) const;

    QPointer<QWidget> control_;
    int margin_;
    bool above_;
    Paint paint_;
    bool wanted_ = true;
};

}  // namespace velmora
