#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QString>
#include <optional>

#include "app/design/palette.h"

class QPainter;
class QPainterPath;

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

// The glyph's filled outline in the 22-unit grid, strokes of `lineWidth` made into areas: the same shape as
// drawMenuGlyph paints, for pictures kept as paths (the tray's symbolic icon).
QPainterPath menuGlyphOutline(double lineWidth);

// How the tray glyph is inked. Without a rim the glyph is one colour, the tray's own text colour: connected,
// a filled rounded square with the glyph cut out; otherwise the glyph alone at opacity 0.6. With a rim, for a
// tray whose colour nobody tells, the glyph is `ink` outlined in `rim`, which reads on dark and light panels
// alike; connected, a square of `rim` ringed in `ink` with the glyph in `ink` inside.
struct TrayInk {
    QColor ink;
    std::optional<QColor> rim;
};

// The tray glyph of `points` size. Tray hosts do not tint images, so the caller gives the ink that suits the
// panel. `themeName` names the same picture in the desktop's icon theme (see DrawnIconEngine).
QIcon menuBarIcon(bool connected, double points, const TrayInk& ink, const QString& themeName = {});
QImage menuBarImage(bool connected, double points, const TrayInk& ink, double devicePixelRatio = 1.0);
inline QIcon menuBarIcon(bool connected, double points, const QColor& color) {
    return menuBarIcon(connected, points, TrayInk{color, std::nullopt});
}
inline QImage menuBarImage(bool connected, double points, const QColor& color,
                           double devicePixelRatio = 1.0) {
    return menuBarImage(connected, points, TrayInk{color, std::nullopt}, devicePixelRatio);
}
// The glyph colour for a panel of the given appearance: light on a dark panel, dark on a light one.
QColor trayGlyphColor(Appearance panel);

// Writes the ten icon-set PNG files "icon_<name>.png" into `folder` (made if missing, existing files
// replaced) and returns how many were written, so a caller can tell a full set from a partial one.
int writeIconset(const QString& folder);

}  // namespace velmora::Brand
