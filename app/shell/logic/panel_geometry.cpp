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

}  // namespace velmora::PanelGeometry
