#pragma once

#include <QPointF>
#include <array>

// The coordinates of the logo, in its own grids (1024 units for the icon, 22 for the tray glyph, y down).
namespace velmora::BrandGeometry {

// A triangular arrow head: its tip and the two corners of its base.
struct ArrowHead {
    QPointF tip;
    QPointF left;
    QPointF right;
};

// The icon's arc arrow runs through 49 points on the ellipse of centre (512, 612), radii 292 × 190, from 18°
// to 150°.
inline constexpr int kMarkArcLastPoint = 48;
QPointF markArcPoint(int i);
// The head at the arc's end for a line weight (1 = the icon's own).
ArrowHead markHead(double weight);

// The tray glyph's arc: 41 points on the ellipse of centre (11, 14.5), radii 7 × 4.8, from 20° to 150°.
inline constexpr int kGlyphArcLastPoint = 40;
QPointF glyphArcPoint(int i);
ArrowHead glyphHead();

// The glyph's base line width for a tray image of `points` size: thinner lines as the image grows.
double menuGlyphLineWidth(double points);

// The icon set's files: "icon_" + name + ".png" at the given pixel size.
struct IconsetEntry {
    const char* name;
    int pixels;
};
inline constexpr std::array<IconsetEntry, 10> kIconset{{
    {"16x16", 16},
    {"16x16@2x", 32},
    {"32x32", 32},
    {"32x32@2x", 64},
    {"128x128", 128},
    {"128x128@2x", 256},
    {"256x256", 256},
    {"256x256@2x", 512},
    {"512x512", 512},
    {"512x512@2x", 1024},
}};

}  // namespace velmora::BrandGeometry
