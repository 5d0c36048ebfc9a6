#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace velmora {

// Failures in a row and rests per candidate key, so that a target that keeps failing is tried less
// often. Times are seconds on the model's clock. A plain value without a lock: its owner uses it from one
// thread at a time.
struct FailureBook {
    struct Entry {
        std::int64_t count = 0;  // failures in a row, at least 1 once booked
        double until = 0;        // end of the rest

        bool operator==(const Entry&) const = default;
    };

    std::map<std::string, Entry, std::less<>> entries;

    // Books one more failure of `key` and returns its rest in seconds: 4, 8, 16, 32, then 60 for every
    // later failure; Bluetooth keys ("ble:") at most 8; a hotspot key ("gw:") whose gateway is no known
    // phone hotspot 600; a remembered address on another subnet ("net:" id ":far:") always 600. A text that
    // is no CandidateKey gets the plain rests. The count only starts again after clear or removeAll.
    double markFailure(std::string_view key, double now, bool knownHotspotGateway);

    // True while the rest of `key` lasts: until is strictly later than now.
    bool cooling(std::string_view key, double now) const;

    // Failures in a row of `key`; 0 without an entry.
    std::int64_t count(std::string_view key) const;

    void clear(std::string_view key);
    void removeAll() { entries.clear(); }

    bool operator==(const FailureBook&) const = default;
};

}  // namespace velmora
