#include "app/design/brand_geometry.h"

#include <cmath>
#include <numbers>

namespace velmora::BrandGeometry {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

QPointF ellipsePoint(QPointF centre, double rx, double ry, double degrees) {
    return {centre.x() + rx * std::cos(degrees * kDegree), centre.y() + ry * std::sin(degrees * kDegree)};
}

// The head sits on the arc's end point `end`, pointing along the unit tangent `u`.
ArrowHead headAt(QPointF end, QPointF u, double tipLength, double halfBase) {
    const QPointF n(-u.y(), u.x());
    return {end + tipLength * u, end + halfBase * n, end - halfBase * n};
}

QPointF unit(QPointF v) {
    return v / std::hypot(v.x(), v.y());
}

}  // namespace

QPointF markArcPoint(int i) {
    return ellipsePoint({512, 612}, 292, 190, 18.0 + 132.0 * i / kMarkArcLastPoint);
}

ArrowHead markHead(double weight) {
    const double w = 50 * weight;
    // The ellipse's tangent at 150° in the direction of travel: (-292 sin 150°, 190 cos 150°).
    const QPointF u = unit({-146.0, -164.5448});
    return headAt(markArcPoint(kMarkArcLastPoint), u, 1.65 * w, w);
}

QPointF glyphArcPoint(int i) {
    return ellipsePoint({11, 14.5}, 7, 4.8, 20.0 + 130.0 * i / kGlyphArcLastPoint);
}

ArrowHead glyphHead() {
    const QPointF u = unit({-3.5, -4.156922});
    return headAt(glyphArcPoint(kGlyphArcLastPoint), u, 3.2, 1.9);
}

double menuGlyphLineWidth(double points) {
    if (points <= 16) return 2.0;
    if (points <= 18) return 1.9;
    return 1.7;
}

}  // namespace velmora::BrandGeometry
