#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace velmora {

// The small symbol images of the kit, drawn with QPainter so they look the same on every desktop and need no
// icon theme.
enum class Symbol {
    warningTriangle,  // an outlined triangle with an exclamation mark
    errorCircle,      // a filled circle with the exclamation mark cut out
    infoCircle,       // an outlined circle with an "i"
    chevronRight,     // a right-pointing chevron
};

// Draws `symbol` centred in `box`, sized like a text glyph of `pixelSize` with strokes of a semibold weight.
void drawSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, double pixelSize);

}  // namespace velmora
