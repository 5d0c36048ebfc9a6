#include "app/design/layer_effects.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace velmora::layers {

namespace {

// Widths of three box filters whose succession approximates a Gaussian of `sigma`.
std::array<int, 3> boxWidths(double sigma) {
    constexpr int n = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) --lower;
    const int upper = lower + 2;
    const double m = std::round((12.0 * sigma * sigma - n * lower * lower - 4.0 * n * lower - 3.0 * n) /
                                (-4.0 * lower - 4.0));
    std::array<int, 3> widths{};
    for (int i = 0; i < n; ++i)
        widths[i] = i < m ? lower : upper;
    return widths;
}

// One box pass along rows (stride 1) or columns (stride = width); outside the image counts as transparent.
void boxPass(const std::vector<float>& in, std::vector<float>& out, int w, int h, int radius,
             bool alongRows) {
    const int length = alongRows ? w : h;
    const int lines = alongRows ? h : w;
    const int step = alongRows ? 1 : w;
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        const int base = alongRows ? line * w : line;
        float sum = 0;
        for (int i = 0; i <= std::min(radius, length - 1); ++i)
            sum += in[base + i * step];
        for (int i = 0; i < length; ++i) {
            out[base + i * step] = sum * scale;
            const int enter = i + radius + 1;
            const int leave = i - radius;
            if (enter < length) sum += in[base + enter * step];
            if (leave >= 0) sum -= in[base + leave * step];
        }
    }
}

}  // namespace

QImage transparentLayer(QSize pixelSize) {
    QImage layer(pixelSize, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    return layer;
}

QImage shadowOf(const QImage& source, const QColor& color, double sigma) {
    const QImage layer = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = layer.width();
    const int h = layer.height();
    std::vector<float> alpha(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[static_cast<size_t>(y) * w + x] = qAlpha(row[x]) / 255.0f;
    }
    if (sigma >= 0.5) {
        std::vector<float> scratch(alpha.size());
        for (int width : boxWidths(sigma)) {
            const int radius = (width - 1) / 2;
            if (radius <= 0) continue;
            boxPass(alpha, scratch, w, h, radius, true);
            boxPass(scratch, alpha, w, h, radius, false);
        }
    }
    QImage shadow = transparentLayer(layer.size());
    const float r = color.redF(), g = color.greenF(), b = color.blueF(), a = color.alphaF();
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const float k = std::clamp(alpha[static_cast<size_t>(y) * w + x] * a, 0.0f, 1.0f);
            row[x] = qRgba(qRound(r * k * 255), qRound(g * k * 255), qRound(b * k * 255), qRound(k * 255));
        }
    }
    shadow.setDevicePixelRatio(source.devicePixelRatio());
    return shadow;
}

namespace {

// A layer in device pixels that covers `area` and, with a shadow, the room the shadow needs.
struct Layer {
    QImage image;
    QPoint origin;  // the device pixel of the image's top-left corner
};

Layer paintLayer(QPainter& painter, const QRectF& area, double margin,
                 const std::function<void(QPainter&)>& draw) {
    const QTransform device = painter.deviceTransform();
    const QRectF box = device.mapRect(area).adjusted(-margin, -margin, margin, margin);
    const QPoint origin(static_cast<int>(std::floor(box.left())), static_cast<int>(std::floor(box.top())));
    const QSize size(static_cast<int>(std::ceil(box.right())) - origin.x(),
                     static_cast<int>(std::ceil(box.bottom())) - origin.y());
    Layer layer{transparentLayer(size.expandedTo(QSize(1, 1))), origin};
    QPainter lp(&layer.image);
    lp.setRenderHints(painter.renderHints());
    lp.setTransform(device * QTransform::fromTranslate(-origin.x(), -origin.y()));
    draw(lp);
    return layer;
}

// Composites device-pixel images over the painter, whatever its transform. With M the painter's device
// transform and W its world transform, the world transform T * M^-1 * W places image pixels 1:1 on device
// pixels offset by T.
void compose(QPainter& painter, double opacity, const QColor& shadowColor, QPointF shadowOffset, double sigma,
             const Layer& layer, bool withLayer) {
    const QTransform placed = QTransform::fromTranslate(layer.origin.x(), layer.origin.y()) *
                              painter.deviceTransform().inverted() * painter.worldTransform();
    painter.save();
    painter.setWorldTransform(placed);
    painter.setOpacity(painter.opacity() * opacity);
    if (shadowColor.alpha() > 0) painter.drawImage(shadowOffset, shadowOf(layer.image, shadowColor, sigma));
    if (withLayer) painter.drawImage(QPointF(0, 0), layer.image);
    painter.restore();
}

double shadowRoom(const QColor& shadowColor, QPointF offset, double sigma) {
    if (shadowColor.alpha() == 0) return 1;
    return std::ceil(3 * sigma + std::max(std::abs(offset.x()), std::abs(offset.y()))) + 1;
}

}  // namespace

void drawShadow(QPainter& painter, const QRectF& area, double opacity, const QColor& shadowColor,
                QPointF shadowOffset, double sigma, const std::function<void(QPainter&)>& draw) {
    if (shadowColor.alpha() == 0) return;
    const Layer layer = paintLayer(painter, area, shadowRoom(shadowColor, shadowOffset, sigma), draw);
    compose(painter, opacity, shadowColor, shadowOffset, sigma, layer, false);
}

void drawLayered(QPainter& painter, const QRectF& area, double opacity, const QColor& shadowColor,
                 QPointF shadowOffset, double sigma, const std::function<void(QPainter&)>& draw) {
    const Layer layer = paintLayer(painter, area, shadowRoom(shadowColor, shadowOffset, sigma), draw);
    compose(painter, opacity, shadowColor, shadowOffset, sigma, layer, true);
}

}  // namespace velmora::layers
