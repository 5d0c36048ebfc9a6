#pragma once

#include <optional>

namespace velmora {

// Rectangles in the desktop's coordinates: y grows downwards, (x, y) is the top-left corner.
struct Box {
    double x = 0, y = 0, w = 0, h = 0;
    double right() const { return x + w; }
    double bottom() const { return y + h; }
    bool operator==(const Box&) const = default;
};

namespace PanelGeometry {

inline constexpr double margin = 8;       // kept between the panel and the screen's sides
inline constexpr double gap = 6;          // between the tray icon and the panel
inline constexpr double debounce = 0.25;  // seconds after a hide during which a click on the icon is ignored
inline constexpr double sizeSlack = 0.5;  // size changes this small are ignored

// Where the panel of size (w, h) goes for the tray icon at `anchor` on a screen whose free area is `screen`
// (absent: no screen known, so no clamping). Centred under the icon, 6 below it; above it instead when the
// icon sits in a panel at the bottom and the panel would leave the screen there. Horizontally the left
// margin is applied first and the right one wins, so on a screen narrower than the panel its right edge
// stays in view; vertically the panel is kept inside the screen the same way (bottom wins).
Box place(const Box& anchor, double w, double h, const std::optional<Box>& screen);

// The panel's frame once its content asks for (w, h) while it belongs to the icon at `anchor`: placed again
// by `place`, so under a tray at the top the top edge stays still and the panel grows downwards, and above a
// tray at the bottom the bottom edge stays by the icon and it grows upwards, never leaving the screen. Absent
// for a size that is not positive or when the frame already is that one (within 0.5 in every side).
std::optional<Box> refit(const Box& frame, const Box& anchor, double w, double h,
                         const std::optional<Box>& screen);

// Where the icon is, for placing the panel: the icon's own geometry when the tray tells one that is not
// empty; else the point a StatusNotifierItem host gave with the click; else the pointer.
struct Point {
    double x = 0, y = 0;
    bool operator==(const Point&) const = default;
};
Box anchorFor(const std::optional<Box>& icon, const std::optional<Point>& activation, Point pointer);

// A window of outer size (w, h), frame included, moved to lie within `screen`: centred on it, the top-left
// corner winning when it is larger than the screen.
Box centreIn(double w, double h, const Box& screen);

// Whether a click on the icon may show the panel, `sinceHidden` seconds after it was last hidden.
bool clickShows(double sinceHidden);

// The panel's new frame when its content asks for (w, h): the top-left corner stays and the panel grows or
// shrinks downwards. Absent for a size that is not positive or differs by no more than 0.5 in both sides.
std::optional<Box> followSize(const Box& frame, double w, double h);

}  // namespace PanelGeometry
}  // namespace velmora
