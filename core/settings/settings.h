#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace velmora {

// The application's typed key-value settings. Values are JSON values under fixed key names; a typed read
// gives absent when the key is missing or when its value has another JSON type (a list or dictionary with
// one element of the wrong type counts as wrong as a whole), never a converted value, so that "true" stored
// as a string never reads as a Boolean. Every member may be called from any thread.
class Settings {
  public:
    virtual ~Settings() = default;

    // The stored value of `key`, or absent.
    virtual std::optional<nlohmann::json> value(std::string_view key) const = 0;
    // Stores `value` under `key`, replacing what was there.
    virtual void setValue(std::string_view key, nlohmann::json value) = 0;
    // Removes `key`; nothing happens when it is absent.
    virtual void remove(std::string_view key) = 0;

    std::optional<bool> boolean(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;
    std::optional<std::vector<std::string>> stringList(std::string_view key) const;
    std::optional<std::map<std::string, std::string>> stringMap(std::string_view key) const;
    std::optional<std::map<std::string, bool>> boolMap(std::string_view key) const;
    std::optional<std::map<std::string, std::vector<std::string>>> stringListMap(std::string_view key) const;
};

}  // namespace velmora
