#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/model/connection/conn_kind.h"
#include "core/settings/settings.h"

namespace velmora {

// One entry of the user's connection order: a kind and whether it is switched on. Its identity in lists
// is the kind's raw value.
struct LinkPref {
    ConnKind kind = ConnKind::usb;
    bool enabled = true;

    bool operator==(const LinkPref&) const = default;
};

// A change of the connection order that the model assigns, then logs.
struct LinkPrefsChange {
    std::vector<LinkPref> prefs;
    std::string logLine;

    bool operator==(const LinkPrefsChange&) const = default;
};

// The connection order: its stored form and the operations of the preferences screen. The operations
// take the current list and return the changed one, or absent when the call is to be ignored without a
// log line (a kind that is not listed, a move past either end, a drop onto itself). When the list holds a
// kind twice, the first entry is the one read and changed.
namespace LinkPrefs {

inline constexpr std::string_view kSettingsKey = "linkPrefs";

// [{"enabled":true,"kind":"usb"}, ...] in list order.
nlohmann::json encode(const std::vector<LinkPref>& prefs);

// The list exactly as stored (order and repeated kinds kept); absent when the value is not an array of
// objects each with a "kind" naming a kind and a Boolean "enabled": one bad entry spoils the whole list.
std::optional<std::vector<LinkPref>> decode(const nlohmann::json& value);

// The stored order, or an empty one when it is missing or does not decode, with every kind that is not
// listed appended, switched on, in the default order. Writes nothing back.
std::vector<LinkPref> load(const Settings& settings);

void save(Settings& settings, const std::vector<LinkPref>& prefs);

// The flag of the first entry of `kind`; true when there is none.
bool isEnabled(const std::vector<LinkPref>& prefs, ConnKind kind);

// Switches the first entry of `kind` on or off, even when it already is ("tipo de conexão wifi: desligado").
std::optional<LinkPrefsChange> setEnabled(const std::vector<LinkPref>& prefs, ConnKind kind, bool on);

// Swaps the first entry of `kind` with the entry `by` places away (not a shift: the entries between stay).
// A move by 0 is still a change.
std::optional<LinkPrefsChange> move(const std::vector<LinkPref>& prefs, ConnKind kind, std::int64_t by);

// Takes the first entry of `kind` out and inserts it at the index `before` had: dragged upwards it lands
// in front of `before`, dragged downwards right behind it.
std::optional<LinkPrefsChange> reorder(const std::vector<LinkPref>& prefs, ConnKind kind, ConnKind before);

// "ordem das conexões: usb > !wifi > hotspot > ble", disabled entries marked with "!".
std::string orderLine(const std::vector<LinkPref>& prefs);

}  // namespace LinkPrefs
}  // namespace velmora
