#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velmora {

// A phone notification as the desktop shows it, read from a "notif.post".
struct PhonePost {
    std::string key;      // the phone's key, cut like every key (cutNotifKey)
    std::string pkg;      // the app's package, cut to 256 scalars; empty when the phone sent none
    std::string appName;  // the app's name for the app list: 100 scalars, 400 bytes
    std::string title;    // app name and title joined by " · ", each cut to 200 scalars, 800 bytes
    std::string body;     // 2000 scalars, 8000 bytes
    // Present when the phone offers a reply: the index of its reply action (0 when that index is bad).
    std::optional<std::int64_t> replyIndex;

    bool operator==(const PhonePost&) const = default;
};

namespace PhonePosts {

// Posted and removed keys are cut the same way, so that a long key can still be withdrawn.
std::string cutKey(std::string_view key);

// Absent for a message the desktop never shows: no string "key", or "ongoing" or "group" true. Any other
// field of the wrong type counts as missing.
std::optional<PhonePost> read(const nlohmann::json& message);

}  // namespace PhonePosts
}  // namespace velmora
