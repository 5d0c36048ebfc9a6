#include "app/design/app_icon_plate.h"

#include <QPainter>
#include <QPainterPath>

#include "app/design/a11y.h"
#include "app/design/brand.h"

namespace velmora {

AppIconPlate::AppIconPlate(int size, int pixels, double radius, QWidget* parent)
    : QWidget(parent), image_(Brand::appIconImage(pixels)), radius_(radius) {
    setFixedSize(size, size);
    a11y::hide(this);
}

void AppIconPlate::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), radius_, radius_);
    p.setClipPath(clip);
    p.drawImage(QRectF(rect()), image_);
}

}  // namespace velmora
