#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A stored pairing whose phone now shows up under another device id (the app was reinstalled, so the
// phone made a new key).
struct StalePair {
    std::string oldPeerID;
    std::string oldPeerName;  // as stored
    std::string newPhoneID;

    bool operator==(const StalePair&) const = default;
};

namespace StalePairing {

struct Device {
    std::string id;
    std::string name;
};

// For each stored pairing (in order) that is neither seen under its own id nor shown by a Bluetooth
// beacon whose id prefix it starts with (case-insensitive), the first seen phone that is not itself paired
// and whose name normalises to the same non-empty text. One pair at most per stored pairing.
std::vector<StalePair> find(const std::vector<Device>& paired, const std::vector<Device>& seen,
                            const std::vector<std::string>& blePrefixes);

// The form names are compared in: case and diacritics folded (no locale), everything from the first "("
// on dropped, white space runs collapsed to one blank, ends trimmed. "Phone 8 (2)" and "  phone   8 "
// both give "phone 8".
std::string normalizedName(std::string_view name);

}  // namespace StalePairing
}  // namespace velmora
