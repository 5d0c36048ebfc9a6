#include "app/model/features/notif_filter.h"

namespace velmora::NotifFilter {

nlohmann::json message(const Settings& settings) {
    auto allow = nlohmann::json::array();
    auto deny = nlohmann::json::array();
    for (const auto& [pkg, shown] :
         settings.boolMap("notifOverrides").value_or(std::map<std::string, bool>{}))
        (shown ? allow : deny).push_back(pkg);
    return {{"t", "notif.filter"},
            {"default", settings.boolean("notifDefault").value_or(true)},
            {"allow", allow},
            {"deny", deny}};
}

}  // namespace velmora::NotifFilter
