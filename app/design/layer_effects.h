#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <functional>

class QPainter;

namespace velmora::layers {

// A transparent premultiplied layer of `pixelSize` device pixels.
QImage transparentLayer(QSize pixelSize);

// The shadow that `layer` casts: its alpha blurred with a Gaussian of `sigma` pixels (three box passes) and
// tinted with `color`, whose own alpha scales the result.
QImage shadowOf(const QImage& layer, const QColor& color, double sigma);

// Layers: QPainter has neither drop shadows nor transparency groups, so both are made from images in device
// pixels. `area` (in the painter's current coordinates) bounds what `draw` paints; `draw` gets a painter on
// the layer with the same coordinates as `painter`. Shadow offsets and blur are in device pixels. The
// painter's state, clip included, is unchanged afterwards.

// Draws what `draw` paints as one image at `opacity`, after the shadow it casts (none when the shadow colour
// is transparent).
void drawLayered(QPainter& painter, const QRectF& area, double opacity, const QColor& shadowColor,
                 QPointF shadowOffset, double sigma, const std::function<void(QPainter&)>& draw);

// Draws only the shadow that what `draw` paints would cast, at `opacity`.
void drawShadow(QPainter& painter, const QRectF& area, double opacity, const QColor& shadowColor,
                QPointF shadowOffset, double sigma, const std::function<void(QPainter&)>& draw);

}  // namespace velmora::layers
