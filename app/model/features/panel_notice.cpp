// Panel notices: one at a time; each new one replaces the one shown and brings its own clearing.
#include "app/model/app_model.h"

namespace velmora {

void AppModel::showNotice(const std::string& title, double seconds) {
    showNotice(title, std::nullopt, seconds);
}

void AppModel::showNotice(const std::string& title, std::optional<std::string> text, double seconds) {
    edit().panelNotice = PanelNotice{title, std::move(text)};
    panelNoticeWork_.cancel();
    panelNoticeWork_ = after(seconds, [](AppModel& model) { model.edit().panelNotice.reset(); });
}

}  // namespace velmora
