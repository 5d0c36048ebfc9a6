#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace velmora {

// The small images of the mirror window's chrome, drawn with QPainter so they need no icon theme.
enum class MirrorSymbol {
    back,           // a chevron pointing left
    home,           // a ring
    recents,        // two overlapping rounded squares
    bell,           // the notifications bell
    lock,           // a padlock
    warningFilled,  // a filled triangle with the exclamation mark cut out
    checkFilled,    // a filled circle with a check mark cut out
    errorFilled,    // a filled circle with the exclamation mark cut out
    hand,           // a raised open hand
    phone,          // a portrait phone outline
};

// Draws `symbol` centred in `box`, as large as a text glyph of `pixelSize`.
void drawMirrorSymbol(QPainter& painter, MirrorSymbol symbol, const QRectF& box, const QColor& color,
                      double pixelSize);

}  // namespace velmora
