#include "app/shell/logic/panel_geometry.h"

#include <cmath>

namespace velmora::PanelGeometry {

Box place(const Box& anchor, double w, double h, const std::optional<Box>& screen) {
    Box panel{anchor.x + anchor.w / 2 - w / 2, anchor.bottom() + gap, w, h};
    if (!screen) return panel;
    if (panel.x <= screen->x + margin) panel.x = screen->x + margin;
    if (panel.x > screen->right() - w - margin) panel.x = screen->right() - w - margin;
    // A tray at the bottom of the screen: open upwards.
    if (panel.bottom() > screen->bottom() && anchor.y - gap - h >= screen->y) panel.y = anchor.y - gap - h;
    if (panel.y < screen->y) panel.y = screen->y;
    if (panel.bottom() > screen->bottom()) panel.y = screen->bottom() - h;
    return panel;
}

bool clickShows(double sinceHidden) {
    return sinceHidden >= debounce;
}

std::optional<Box> followSize(const Box& frame, double w, double h) {
    if (!(w > 0) || !(h > 0)) return std::nullopt;
    if (std::abs(frame.h - h) <= sizeSlack && std::abs(frame.w - w) <= sizeSlack) return std::nullopt;
    return Box{frame.x, frame.y, w, h};
}

std::optional<Box> refit(const Box& frame, const Box& anchor, double w, double h,
                         const std::optional<Box>& screen) {
    if (!(w > 0) || !(h > 0)) return std::nullopt;
    const Box next = place(anchor, w, h, screen);
    const bool same = std::abs(frame.x - next.x) <= sizeSlack && std::abs(frame.y - next.y) <= sizeSlack &&
                      std::abs(frame.w - next.w) <= sizeSlack && std::abs(frame.h - next.h) <= sizeSlack;
    if (same) return std::nullopt;
    return next;
}

Box anchorFor(const std::optional<Box>& icon, const std::optional<Point>& activation, Point pointer) {
    if (icon && icon->w > 0 && icon->h > 0) return *icon;
    const Point at = activation ? *activation : pointer;
    return {at.x, at.y, 1, 1};
}

Box centreIn(double w, double h, const Box& screen) {
    Box out{screen.x + (screen.w - w) / 2, screen.y + (screen.h - h) / 2, w, h};
    if (out.x < screen.x) out.x = screen.x;
    if (out.y < screen.y) out.y = screen.y;
    return out;
}

}  // namespace velmora::PanelGeometry
