#include "app/shell/logic/panel_sizes.h"

#include <algorithm>

namespace velmora {

double panelMaxHeight(std::optional<double> screenAvailableHeight, std::optional<double> override) {
    if (override) return *override;
    if (!screenAvailableHeight) return kPanelMaxHeight;
    return std::clamp(*screenAvailableHeight - 60, kPanelMinMaxHeight, kPanelMaxHeight);
}

double panelHeight(double contentHeight, double maxHeight) {
    return std::min(contentHeight, maxHeight);
}

BatteryBar batteryBar(long long level) {
    const long long clamped = std::clamp(level, 0LL, 100LL);
    const double width = static_cast<double>(clamped * 16) / 100.0;
    return {std::max(width, 2.0), level <= 15};
}

}  // namespace velmora
