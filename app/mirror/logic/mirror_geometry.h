#pragma once

#include <cstdint>
#include <optional>

namespace velmora {

// Sizes and rectangles of the mirror window's content, in device-independent pixels (points).
struct MirrorSize {
    double width = 0;
    double height = 0;
    bool operator==(const MirrorSize&) const = default;
};

// Origin at the bottom left of the content, y growing upwards.
struct MirrorRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const MirrorRect&) const = default;
};

// How the mirror window is sized around the phone's picture: the video sits `inset` from the left, right and
// top edges and from the action bar, which fills the bottom `barHeight` over the full width. The video area
// keeps the picture's aspect ratio exactly, but for rounding to whole points (halves away from zero).
class MirrorGeometry {
  public:
    static constexpr double inset = 6;
    static constexpr double barHeight = 52;
    static constexpr double defaultWidth = 300;
    static constexpr double minWidth = 220;

    // None when either side of the picture is below 1 pixel.
    static std::optional<MirrorGeometry> make(std::int64_t videoWidth, std::int64_t videoHeight);

    double videoWidth() const { return videoWidth_; }
    double videoHeight() const { return videoHeight_; }

    double contentHeight(double forWidth) const;
    double contentWidth(double forHeight) const;
    // The content height at minWidth.
    double minContentHeight() const;
    // The content size for a wanted width, kept under maxHeight where minWidth allows; when even minWidth is
    // too tall, minWidth wins and the height exceeds maxHeight.
    MirrorSize fit(double width, double maxHeight) const;
    // The size to use while the user drags from `current` towards `proposed`: the side that changed more
    // (relatively; the width on a tie) leads and the other follows the aspect ratio.
    MirrorSize snapped(MirrorSize proposed, MirrorSize current, double maxHeight) const;
    // Where the video goes in a content area of `size` (negative extents become 0).
    static MirrorRect videoRect(MirrorSize size);

    bool operator==(const MirrorGeometry&) const = default;

  private:
    MirrorGeometry(double videoWidth, double videoHeight)
        : videoWidth_(videoWidth), videoHeight_(videoHeight) {}

    double videoWidth_;
    double videoHeight_;
};

}  // namespace velmora
