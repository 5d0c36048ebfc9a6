#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/log/rate_limiter.h"

namespace velmora::ClipboardPolicy {

// What may cross between the two clipboards. Pure: the callers read the clipboard and the clock.

// The phone may write the computer's clipboard this often per sliding minute.
inline constexpr std::int64_t phoneWritesPerMinute = 30;
// The computer sends texts below this many UTF-8 bytes: the phone ends a session whose control record is
// larger than it accepts, so a bigger text is never sent.
inline constexpr std::size_t sendLimitBytes = 200000;
// The phone's texts are taken up to this many UTF-8 bytes.
inline constexpr std::size_t receiveLimitBytes = 400000;

// Marker types that password managers and clipboard tools add to a secret or passing copy.
inline constexpr std::array<std::string_view, 4> neverSendTypes{
    "org.nspasteboard.ConcealedType", "org.nspasteboard.TransientType", "com.agilebits.onepassword",
    "de.quillbarrow.TransientPasteboardType"};
// The desktop's own marker: this type with exactly the value "secret".
inline constexpr std::string_view passwordHintType = "x-kde-passwordManagerHint";
inline constexpr std::string_view passwordHintSecret = "secret";

// True when a copy offered under `types` must stay on this computer: one of them is a marker type (exact
// match), or the desktop's hint is among them and `hintValue` (its bytes) says "secret".
bool shouldNeverSend(const std::vector<std::string>& types, const std::optional<std::string>& hintValue);

// Whether a text of this many bytes may be sent to the phone.
constexpr bool fitsSend(std::string_view text) {
    return text.size() < sendLimitBytes;
}

// The limiter of the phone's writes: 30 per 60 s on `now` (the steady clock when empty).
RateLimiter makePhoneWriteLimiter(std::function<double()> now = {});

}  // namespace velmora::ClipboardPolicy
