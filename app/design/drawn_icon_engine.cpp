#include "app/design/drawn_icon_engine.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace velmora {

DrawnIconEngine::DrawnIconEngine(Draw draw, QSize natural, QString themeName)
    : draw_(std::move(draw)), natural_(natural), themeName_(std::move(themeName)) {}

void DrawnIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) {
    const int side = std::min(rect.width(), rect.height());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0);
    draw_(*painter, side);
    painter->restore();
}

QPixmap DrawnIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return scaledPixmap(size, mode, state, 1.0);
}

QPixmap DrawnIconEngine::scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal scale) {
    const int side = std::min(size.width(), size.height());
    QImage image(QSize(side, side) * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(scale);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw_(p, side);
    }
    return QPixmap::fromImage(image);
}

QSize DrawnIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    const int side = std::min(size.width(), size.height());
    return {side, side};
}

QList<QSize> DrawnIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    return {natural_};
}

QIconEngine* DrawnIconEngine::clone() const {
    return new DrawnIconEngine(draw_, natural_, themeName_);
}

QString DrawnIconEngine::key() const {
    return QStringLiteral("velmora.drawn");
}

QString DrawnIconEngine::iconName() {
    return themeName_;
}

}  // namespace velmora
