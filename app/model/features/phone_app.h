#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora {

// One app on the phone as the notification filter knows it. Its identity in lists is `pkg`.
struct PhoneApp {
    std::string pkg;   // the package identifier
    std::string name;  // the shown name

    bool operator==(const PhoneApp&) const = default;
};

namespace PhoneApps {

// [{"name":...,"pkg":...}, ...] in list order.
nlohmann::json encode(const std::vector<PhoneApp>& apps);

// Absent unless the value is an array of objects each with the strings "pkg" and "name": one bad element
// spoils the whole list.
std::optional<std::vector<PhoneApp>> decode(const nlohmann::json& value);

}  // namespace PhoneApps
}  // namespace velmora
