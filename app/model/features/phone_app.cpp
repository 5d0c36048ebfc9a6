#include "app/model/features/phone_app.h"

namespace velmora::PhoneApps {

nlohmann::json encode(const std::vector<PhoneApp>& apps) {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& a : apps)
        out.push_back({{"pkg", a.pkg}, {"name", a.name}});
    return out;
}

std::optional<std::vector<PhoneApp>> decode(const nlohmann::json& value) {
    if (!value.is_array()) return std::nullopt;
    std::vector<PhoneApp> out;
    out.reserve(value.size());
    for (const auto& v : value) {
        if (!v.is_object()) return std::nullopt;
        auto pkg = v.find("pkg");
        auto name = v.find("name");
        if (pkg == v.end() || name == v.end() || !pkg->is_string() || !name->is_string()) return std::nullopt;
        out.push_back({pkg->get<std::string>(), name->get<std::string>()});
    }
    return out;
}

}  // namespace velmora::PhoneApps
