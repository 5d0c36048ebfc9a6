#include "core/settings/settings.h"

namespace velmora {
namespace {

using json = nlohmann::json;

std::optional<std::vector<std::string>> asStringList(const json& v) {
    if (!v.is_array()) return std::nullopt;
    std::vector<std::string> out;
    out.reserve(v.size());
    for (const auto& e : v) {
        if (!e.is_string()) return std::nullopt;
        out.push_back(e.get<std::string>());
    }
    return out;
}

// A JSON object whose every value `read` accepts, as a dictionary; absent when any value is refused.
template <typename T, typename Read>
std::optional<std::map<std::string, T>> asMap(const json& v, Read read) {
    if (!v.is_object()) return std::nullopt;
    std::map<std::string, T> out;
    for (const auto& [k, e] : v.items()) {
        std::optional<T> item = read(e);
        if (!item) return std::nullopt;
        out.emplace(k, std::move(*item));
    }
    return out;
}

std::optional<std::string> asString(const json& v) {
    if (!v.is_string()) return std::nullopt;
    return v.get<std::string>();
}

std::optional<bool> asBool(const json& v) {
    if (!v.is_boolean()) return std::nullopt;
    return v.get<bool>();
}

}  // namespace

std::optional<bool> Settings::boolean(std::string_view key) const {
    auto v = value(key);
    return v ? asBool(*v) : std::nullopt;
}

std::optional<std::string> Settings::string(std::string_view key) const {
    auto v = value(key);
    return v ? asString(*v) : std::nullopt;
}

std::optional<std::vector<std::string>> Settings::stringList(std::string_view key) const {
    auto v = value(key);
    return v ? asStringList(*v) : std::nullopt;
}

std::optional<std::map<std::string, std::string>> Settings::stringMap(std::string_view key) const {
    auto v = value(key);
    return v ? asMap<std::string>(*v, asString) : std::nullopt;
}

std::optional<std::map<std::string, bool>> Settings::boolMap(std::string_view key) const {
    auto v = value(key);
    return v ? asMap<bool>(*v, asBool) : std::nullopt;
}

std::optional<std::map<std::string, std::vector<std::string>>> Settings::stringListMap(
    std::string_view key) const {
    auto v = value(key);
    return v ? asMap<std::vector<std::string>>(*v, asStringList) : std::nullopt;
}

}  // namespace velmora
