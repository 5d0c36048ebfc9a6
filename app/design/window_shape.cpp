#include "app/design/window_shape.h"

#include <QEvent>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace velmora {

RoundedWindowShape::RoundedWindowShape(QWidget* window, double radius, std::function<bool()> compositing)
    : QObject(window), window_(window), radius_(radius), compositing_(std::move(compositing)) {
    window_->installEventFilter(this);
    apply();
}

bool RoundedWindowShape::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) apply();
    return false;
}

void RoundedWindowShape::apply() {
    if (compositing_ && compositing_()) {
        if (!window_->mask().isEmpty()) window_->clearMask();
        return;
    }
    // A pixel belongs to the window when its centre lies inside the rounded rectangle the window paints.
    QPainterPath shape;
    shape.addRoundedRect(QRectF(window_->rect()), radius_, radius_);
    const QRegion region(shape.toFillPolygon().toPolygon());
    if (window_->mask() != region) window_->setMask(region);
}

}  // namespace velmora
