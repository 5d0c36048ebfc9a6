#pragma once

#include <optional>

namespace velmora {

inline constexpr double kPanelWidth = 360;
inline constexpr double kPanelMaxHeight = 640;
// Below this the header, one row and the footer no longer fit; a tiny screen gets this much and scrolls.
inline constexpr double kPanelMinMaxHeight = 200;

// The tallest the panel may grow: the override when given, else 60 less than the screen's usable height
// but at most 640; 640 without a screen.
double panelMaxHeight(std::optional<double> screenAvailableHeight, std::optional<double> override);

// The panel's height for content of `contentHeight`: as tall as its content, never taller than `maxHeight`.
double panelHeight(double contentHeight, double maxHeight);

// The battery glyph's bar: red at 15 % or less (the level as reported), width 16 for a full battery and
// never under 2.
struct BatteryBar {
    double width = 2;
    bool low = false;
    bool operator==(const BatteryBar&) const = default;
};
BatteryBar batteryBar(long long level);

}  // namespace velmora
