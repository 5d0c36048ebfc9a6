#include "app/model/features/diagnostics/diagnostic_report.h"

#include <cmath>

#include "core/l10n/l10n.h"
#include "core/text/split.h"
#include "core/text/utf8.h"

namespace velmora::DiagnosticReport {

namespace {

std::string tf(bool value) {
    return value ? "true" : "false";
}

std::string screenText(const std::optional<bool>& on) {
    if (!on) return L10n::string("diag.screen_unknown");
    return *on ? L10n::string("diag.screen_on") : L10n::string("diag.screen_off");
}

std::string idleReport(const Facts& f) {
    const std::string offFor =
        f.screenOffFor
            ? L10n::format("diag.screen_off_since", {static_cast<std::int64_t>(std::trunc(*f.screenOffFor))})
            : std::string();
    return L10n::format("diag.idle.report",
                        {tf(f.idleDescended), screenText(f.phoneScreenOn), offFor, tf(f.phoneFast),
                         f.phoneLocks ? tf(*f.phoneLocks) : "?", f.idleNote.value_or("-")});
}

bool validUtf8(std::string_view text) {
    static constexpr std::string_view encodedReplacement = "\xEF\xBF\xBD";
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        if (Utf8::next(text, pos) == Utf8::replacement &&
            text.substr(start, pos - start) != encodedReplacement)
            return false;
    }
    return true;
}

// The value of one KEY=VALUE line, quotes removed.
std::string osReleaseValue(std::string_view text, std::string_view key) {
    std::string value;
    for (const std::string_view line : Split::pieces(text, '\n')) {
        if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != '=') continue;
        std::string_view v = line.substr(key.size() + 1);
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.substr(1, v.size() - 2);
        value = v;
    }
    return value;
}

}  // namespace

std::string text(const Facts& f) {
    std::string out;
    auto line = [&out](const std::string& text) { out += text + "\n"; };
    line(L10n::format("diag.language", {f.languageCode}));
    line("Velmora " + f.version + " (" + (f.build > 0 ? std::to_string(f.build) : "?") + ") | " + f.system);
    line(L10n::format("diag.bluetooth", {std::int64_t{f.bluetoothState}}));
    line(L10n::format("diag.local_network", {tf(f.localNetworkDenied), tf(f.browserReady)}));
    line(L10n::format("diag.connections", {connectionOrder(f.linkPrefs)}));
    line(L10n::format("diag.network", {f.network}));
    line(L10n::format("diag.state",
                      {stateText(f.state), f.linkKind, static_cast<std::int64_t>(f.usbPhones),
                       static_cast<std::int64_t>(f.networkPhones), static_cast<std::int64_t>(f.blePhones)}));
    line(L10n::format("diag.idle", {idleReport(f)}));
    line(L10n::string("diag.log_header"));
    line(logTail(f.log));
    return out;
}

std::string stateText(const ConnState& state) {
    switch (state.kind()) {
        case ConnState::Kind::connecting:
            return "connecting(\"" + state.label() + "\")";
        case ConnState::Kind::connected:
            return "connected(\"" + state.label() + "\")";
        case ConnState::Kind::idle:
            break;
    }
    return "idle";
}

std::string connectionOrder(const std::vector<LinkPref>& prefs) {
    std::string out;
    for (const LinkPref& pref : prefs) {
        if (!out.empty()) out += " > ";
        if (!pref.enabled) out += L10n::string("diag.off_marker");
        out += rawValue(pref.kind);
    }
    return out;
}

std::string logTail(const std::optional<std::string>& log) {
    if (!log || !validUtf8(*log)) return {};
    const auto lines = Split::pieces(*log, '\n');
    const std::size_t first = lines.size() > kLogTailLines ? lines.size() - kLogTailLines : 0;
    std::string out;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (i > first) out += "\n";
        out += lines[i];
    }
    return out;
}

std::string systemText(std::string_view osRelease, std::string_view kernel) {
    const std::string pretty = osReleaseValue(osRelease, "PRETTY_NAME");
    if (pretty.empty()) return std::string(kernel);
    if (kernel.empty()) return pretty;
    return pretty + "; " + std::string(kernel);
}

}  // namespace velmora::DiagnosticReport
