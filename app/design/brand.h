#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>

#include "app/design/palette.h"

class QPainter;

// The logo, drawn in code at any size: the application icon, the tray glyph and the icon set.
// Drawing functions keep no state and restore the painter's state before they return.
namespace velmora::Brand {

inline constexpr DynColor accent = fixedColor(0.31, 0.27, 0.9);

// The whole icon in the square (0, 0, size, size): rounded plate, gradient, gloss, the mark with its shadow.
// The shadow's offset and blur are device pixels whatever the size, as on the platform the icon was made for.
void drawIcon(QPainter& painter, double size);

// The mark in the 1024-unit grid already set up on the painter: `weight` multiplies every line width, `alpha`
// the opacity, `hangers` adds the five vertical hangers.
void drawMark(QPainter& painter, const QColor& color, double weight, double alpha, bool hangers);

// The tray glyph in the 22-unit grid already set up on the painter, drawn as one shape at `alpha`.
void drawMenuGlyph(QPainter& painter, const QColor& color, double lineWidth, double alpha);

// The application icon, drawn again for each size asked (`size` is its natural size).
QIcon appIcon(double size);
QImage appIconImage(int pixels);

// The tray glyph of `points` size: connected, a filled rounded square with the glyph cut out; otherwise the
// glyph alone at opacity 0.6. Tray hosts do not tint images, so the caller gives the colour that suits the
// panel.
QIcon menuBarIcon(bool connected, double points, const QColor& color);
QImage menuBarImage(bool connected, double points, const QColor& color, double devicePixelRatio = 1.0);
// The glyph colour for a panel of the given appearance: light on a dark panel, dark on a light one.
QColor trayGlyphColor(Appearance panel);

// Writes the ten icon-set PNG files "icon_<name>.png" into `folder` (made if missing, existing files
// replaced) and returns how many were written, so a caller can tell a full set from a partial one.
int writeIconset(const QString& folder);

}  // namespace velmora::Brand
