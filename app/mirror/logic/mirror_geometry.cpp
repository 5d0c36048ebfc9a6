#include "app/mirror/logic/mirror_geometry.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

constexpr double sides = 2 * MirrorGeometry::inset;
constexpr double chrome = MirrorGeometry::barHeight + sides;  // everything above and below the video

}  // namespace

std::optional<MirrorGeometry> MirrorGeometry::make(std::int64_t videoWidth, std::int64_t videoHeight) {
    if (videoWidth < 1 || videoHeight < 1) return std::nullopt;
    return MirrorGeometry(static_cast<double>(videoWidth), static_cast<double>(videoHeight));
}

// std::round rounds halves away from zero; nearbyint's halves-to-even would be off by one at x.5.
double MirrorGeometry::contentHeight(double forWidth) const {
    return std::round((forWidth - sides) * videoHeight_ / videoWidth_) + sides + barHeight;
}

double MirrorGeometry::contentWidth(double forHeight) const {
    return std::round((forHeight - barHeight - sides) * videoWidth_ / videoHeight_) + sides;
}

double MirrorGeometry::minContentHeight() const {
    return std::round(videoHeight_ * (minWidth - sides) / videoWidth_) + sides + barHeight;
}

MirrorSize MirrorGeometry::fit(double width, double maxHeight) const {
    double w = std::max(minWidth, width);
    if (contentHeight(w) > maxHeight) {
        w = std::max(minWidth, contentWidth(maxHeight));
        // The second test stops at widths so large that a point no longer changes them.
        while (w > minWidth && contentHeight(w) > maxHeight && w - 1 < w)
            w -= 1;
    }
    return {w, contentHeight(w)};
}

MirrorSize MirrorGeometry::snapped(MirrorSize proposed, MirrorSize current, double maxHeight) const {
    const double dw = std::abs(proposed.width - current.width) / std::max(1.0, current.width);
    const double dh = std::abs(proposed.height - current.height) / std::max(1.0, current.height);
    const double width = dw >= dh ? proposed.width : contentWidth(proposed.height);
    return fit(width, maxHeight);
}

MirrorRect MirrorGeometry::videoRect(MirrorSize size) {
    return {inset, barHeight + inset, std::max(0.0, size.width - sides), std::max(0.0, size.height - chrome)};
}

}  // namespace velmora
