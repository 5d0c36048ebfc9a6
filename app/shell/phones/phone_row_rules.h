#pragma once

#include <optional>
#include <string>

#include "core/discovery/discovered_phone.h"

namespace velmora {

// What one row of the panel's phone lists shows, decided from plain values. Two facts decide it apart: the
// list the row stands in (`listedPaired`: known or new) chooses the glyph, the button and, for a cable phone,
// the subtitle; the phone's readiness (the model's own view of it) chooses the network and Bluetooth
// subtitles, their colour and whether the button works.

// Whether a phone can be connected or paired now.
enum class Readiness {
    direct,   // paired already, or on a cable (the cable itself vouches for the user)
    ready,    // it says it accepts a new computer now
    waiting,  // it says it does not: the user must open pairing on the phone first
    silent,   // it says nothing either way (an older companion app)
};

// The colour a row's subtitle (or any secondary line) is drawn in.
enum class TextTone { secondary, ok, warn, err };

// The phone as the row needs it: the phone, its list, and the model's two answers about it.
struct PhoneRowInput {
    DiscoveredPhone phone;
    bool listedPaired = false;     // the row stands in the known list
    bool primary = false;          // the row carries the panel's main action
    bool pairedNow = false;        // the model's isPaired for the phone
    std::optional<bool> pairFlag;  // the model's pairFlag for the phone
};

struct PhoneRowView {
    DiscoveredPhone phone;  // the phone the button connects to
    std::string title;
    std::string badge;  // "USB", "BT" or "WI-FI", not localised
    std::string subtitle;
    TextTone subtitleTone = TextTone::secondary;
    bool pairedGlyph = false;  // the glyph's tone: paired, else new
    std::string buttonLabel;
    bool primaryButton = false;  // the primary row style, else the tinted one
    bool enabled = true;
    std::string tooltip;  // empty: none
    std::string accessibleLabel;

    bool operator==(const PhoneRowView&) const = default;
};

// A cable phone's id is "usb:" and its adb serial.
bool isCablePhone(const DiscoveredPhone& phone);
Readiness readiness(bool pairedNow, bool cable, std::optional<bool> pairFlag);
// The name without the localised cable and Bluetooth suffixes the discovery sources append (every occurrence,
// literally, the cable suffix first).
std::string withoutLinkSuffixes(const std::string& name);
PhoneRowView phoneRowView(const PhoneRowInput& in);

}  // namespace velmora
