#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/model/ports/install_state.h"
#include "app/model/published_state.h"

namespace velmora {

// A round-trip time from this many milliseconds up marks the link as slow.
inline constexpr std::int64_t kSlowLinkRttMs = 80;
// How many of the recently received files the card lists.
inline constexpr std::size_t kReceivedRowsShown = 3;

// A notice inside the connected card, already localised.
struct CardNotice {
    enum class Kind { warn, info };
    // What the notice offers under its text. The update notice follows the companion-app installer:
    // progress, done, the failure's text, the update button (a phone on the cable), else the plug hint.
    enum class Extra { none, switchLink, plugHint, updateButton, installing, installDone, installFailed };
    Kind kind = Kind::info;
    std::string title;
    std::string text;
    Extra extra = Extra::none;
    std::string detail;  // installFailed: why, as the installer words it
    bool operator==(const CardNotice&) const = default;
};

// One received file as the card lists it.
struct ReceivedRow {
    std::filesystem::path path;
    std::string name;  // the last part of the path
    bool operator==(const ReceivedRow&) const = default;
};

// What the model knows beside its published state, and the panel's drag flag.
struct CardFacts {
    bool phoneNeedsUpdate = false;
    bool fastLinkAvailable = false;
    bool dropping = false;    // a file drag hovers over the panel
    InstallStatus install;    // the companion-app installer's install, whatever phone it concerns
    bool cablePhone = false;  // a ready phone on the cable could take the update
};

// Everything the connected card shows, as plain values; the widgets only draw them.
struct CardValues {
    std::string name;
    std::string linkLine;
    bool slowLink = false;
    std::optional<std::int64_t> battery;  // no battery group without a figure
    std::string batteryText;              // the percent, with the charging mark while charging
    std::string batteryA11y;
    std::vector<CardNotice> notices;  // update, control paused, network, then idle or Bluetooth
    bool mirroring = false;
    std::string mirrorText;
    std::string ringTitle;
    std::string dropText;
    bool dropEmphasis = false;   // the transfer line or the "sending to" line, in the accent colour
    bool dropFailure = false;    // the transfer line tells of a failure: the error colour instead
    bool dropHighlight = false;  // tint and accent outline while a drag hovers
    std::vector<ReceivedRow> received;
    bool operator==(const CardValues&) const = default;
};

// The connected card for `state` (which should be connected; any other state is drawn with the generic name).
CardValues cardValues(const PublishedState& state, const CardFacts& facts);

}  // namespace velmora
