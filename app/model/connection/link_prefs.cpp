#include "app/model/connection/link_prefs.h"

#include <algorithm>

namespace velmora::LinkPrefs {
namespace {

using json = nlohmann::json;

std::optional<std::size_t> firstIndexOf(const std::vector<LinkPref>& prefs, ConnKind kind) {
    auto it = std::find_if(prefs.begin(), prefs.end(), [&](const LinkPref& p) { return p.kind == kind; });
    if (it == prefs.end()) return std::nullopt;
    return static_cast<std::size_t>(it - prefs.begin());
}

std::optional<LinkPref> decodeOne(const json& v) {
    if (!v.is_object()) return std::nullopt;
    auto kind = v.find("kind");
    auto enabled = v.find("enabled");
    if (kind == v.end() || enabled == v.end() || !kind->is_string() || !enabled->is_boolean()) {
        return std::nullopt;
    }
    auto k = connKindFromRaw(kind->get_ref<const std::string&>());
    if (!k) return std::nullopt;
    return LinkPref{*k, enabled->get<bool>()};
}

}  // namespace

json encode(const std::vector<LinkPref>& prefs) {
    json out = json::array();
    for (const auto& p : prefs)
        out.push_back({{"kind", rawValue(p.kind)}, {"enabled", p.enabled}});
    return out;
}

std::optional<std::vector<LinkPref>> decode(const json& value) {
    if (!value.is_array()) return std::nullopt;
    std::vector<LinkPref> out;
    out.reserve(value.size());
    for (const auto& v : value) {
        auto p = decodeOne(v);
        if (!p) return std::nullopt;
        out.push_back(*p);
    }
    return out;
}

std::vector<LinkPref> load(const Settings& settings) {
    std::vector<LinkPref> prefs;
    if (auto stored = settings.value(kSettingsKey)) prefs = decode(*stored).value_or(std::vector<LinkPref>{});
    for (ConnKind kind : kAllConnKinds) {
        if (!firstIndexOf(prefs, kind)) prefs.push_back({kind, true});
    }
    return prefs;
}

void save(Settings& settings, const std::vector<LinkPref>& prefs) {
    settings.setValue(kSettingsKey, encode(prefs));
}

bool isEnabled(const std::vector<LinkPref>& prefs, ConnKind kind) {
    auto i = firstIndexOf(prefs, kind);
    return i ? prefs[*i].enabled : true;
}

std::optional<LinkPrefsChange> setEnabled(const std::vector<LinkPref>& prefs, ConnKind kind, bool on) {
    auto i = firstIndexOf(prefs, kind);
    if (!i) return std::nullopt;
    LinkPrefsChange change{
        prefs, "tipo de conexão " + std::string(rawValue(kind)) + ": " + (on ? "ligado" : "desligado")};
    change.prefs[*i].enabled = on;
    return change;
}

std::optional<LinkPrefsChange> move(const std::vector<LinkPref>& prefs, ConnKind kind, std::int64_t by) {
    auto i = firstIndexOf(prefs, kind);
    if (!i) return std::nullopt;
    // Bounds are checked before adding, so that no delta can overflow.
    const auto from = static_cast<std::int64_t>(*i);
    const auto count = static_cast<std::int64_t>(prefs.size());
    if (by < -from || by >= count - from) return std::nullopt;
    LinkPrefsChange change{prefs, {}};
    std::swap(change.prefs[*i], change.prefs[static_cast<std::size_t>(from + by)]);
    change.logLine = orderLine(change.prefs);
    return change;
}

std::optional<LinkPrefsChange> reorder(const std::vector<LinkPref>& prefs, ConnKind kind, ConnKind before) {
    if (kind == before) return std::nullopt;
    auto from = firstIndexOf(prefs, kind);
    auto to = firstIndexOf(prefs, before);
    if (!from || !to) return std::nullopt;
    LinkPrefsChange change{prefs, {}};
    LinkPref moving = change.prefs[*from];
    change.prefs.erase(change.prefs.begin() + static_cast<std::ptrdiff_t>(*from));
    change.prefs.insert(change.prefs.begin() + static_cast<std::ptrdiff_t>(*to), moving);
    change.logLine = orderLine(change.prefs);
    return change;
}

std::string orderLine(const std::vector<LinkPref>& prefs) {
    std::string line = "ordem das conexões: ";
    for (std::size_t i = 0; i < prefs.size(); ++i) {
        if (i > 0) line += " > ";
        if (!prefs[i].enabled) line += "!";
        line += rawValue(prefs[i].kind);
    }
    return line;
}

}  // namespace velmora::LinkPrefs
