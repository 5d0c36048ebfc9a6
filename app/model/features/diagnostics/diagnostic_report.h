#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/model/connection/conn_state.h"
#include "app/model/connection/link_prefs.h"

namespace velmora::DiagnosticReport {

// The computer's part of the diagnostics report that the user pastes into a support message. Pure: the
// model gathers the facts on the main executor.

struct Facts {
    std::string languageCode;
    std::string version;     // "?" when the build did not stamp it
    std::int64_t build = 0;  // 0 (printed "?") when the build did not stamp it
    std::string system;      // systemText()
    int bluetoothState = 0;
    bool localNetworkDenied = false;
    bool browserReady = false;
    std::vector<LinkPref> linkPrefs;
    std::string network;  // NetInfo::describe
    ConnState state;
    std::string linkKind;  // "tcp" or "ble"
    std::size_t usbPhones = 0, networkPhones = 0, blePhones = 0;
    bool idleDescended = false;
    std::optional<bool> phoneScreenOn;
    std::optional<double> screenOffFor;  // seconds since the phone's screen went off
    bool phoneFast = false;
    std::optional<bool> phoneLocks;
    std::optional<std::string> idleNote;
    std::optional<std::string> log;  // the whole log file; absent when it could not be read
};

inline constexpr std::size_t kLogTailLines = 80;

// The ten lines, each ending in "\n".
std::string text(const Facts& facts);

// The state as the report prints it: idle, connecting("label"), connected("label").
std::string stateText(const ConnState& state);

// The kinds in the user's order joined by " > ", a switched-off kind after the off marker.
std::string connectionOrder(const std::vector<LinkPref>& prefs);

// The last 80 non-empty lines of the log joined by "\n"; empty when the log is absent or not UTF-8.
std::string logTail(const std::optional<std::string>& log);

// "PRETTY_NAME; sysname release machine" from an os-release text and the uname fields; either side alone
// when the other is missing.
std::string systemText(std::string_view osRelease, std::string_view kernel);

}  // namespace velmora::DiagnosticReport
