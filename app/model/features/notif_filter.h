#pragma once

#include <nlohmann/json.hpp>

#include "core/settings/settings.h"

namespace velmora::NotifFilter {

// The "notif.filter" message from the user's choices: "notifDefault" (true when unset) and the per-app
// "notifOverrides" (empty when unset or not a map of Booleans), split into "allow" and "deny".
nlohmann::json message(const Settings& settings);

}  // namespace velmora::NotifFilter
