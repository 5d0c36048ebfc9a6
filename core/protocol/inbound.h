#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/bytes.h"

namespace velmora::Inbound {

// Typed readers of the fields of a control message from the phone (a JSON object). A reader never fails
// and never partly accepts: a field that is missing, of the wrong JSON type, out of range or malformed
// reads as absent (or as the documented default), never as a clamped value. Numbers and booleans never
// stand in for each other, nor do texts for either ("5" is no number).
//
// Pure functions; any thread may call them.

using Json = nlohmann::json;

// The value of `key` when `message` is an object that holds it; nullptr (absent) otherwise.
const Json* field(const Json& message, std::string_view key);

// A JSON number that is finite, whole (7.0 counts as 7), of magnitude at most 9e15, and within min...max.
std::optional<std::int64_t> integer(const Json* value, std::int64_t min, std::int64_t max);
// A finite JSON number.
std::optional<double> number(const Json* value);
// A JSON boolean.
std::optional<bool> boolean(const Json* value);
// A JSON text, cut to its first `max` scalars.
std::optional<std::string> text(const Json* value, std::int64_t max);
// A JSON text exactly as it came, never cut: for comparing with a fixed word, and for the SafeText cleaners,
// which bound what they keep themselves.
std::optional<std::string_view> rawText(const Json* value);
// The bytes of a JSON text of at most `maxText` bytes in strict base64 (Base64::decode). A longer text
// is refused before it is decoded; the caller checks the decoded size.
std::optional<Bytes> base64(const Json* value, std::size_t maxText);
// A JSON text in the form of a device id: exactly 32 characters "0"-"9" or "a"-"f".
std::optional<std::string> deviceId(const Json* value);

// The phone's "status" message.
struct Status {
    std::optional<std::int64_t> battery;  // percent, 0...100
    bool charging = false;
    std::optional<bool> screen;
    bool fast = false;
    std::optional<bool> locks;
    bool operator==(const Status&) const = default;
};
Status status(const Json& message);

// The round trip of a "pong" whose "ts" echoes our send time: 0 <= rtt < 60000 ms, truncated.
std::optional<std::int64_t> rttMs(const Json& message, double nowMs);

// A "net.offer": up to 8 distinct routable IPv4 addresses in the order offered, and the port (1024...65535,
// else `defaultPort`).
struct NetOffer {
    std::vector<std::string> ips;
    std::int64_t port = 0;
    bool operator==(const NetOffer&) const = default;
};
NetOffer netOffer(const Json& message, std::int64_t defaultPort);

// The transfer id "tid" of file messages: 1...2^31-1.
std::optional<std::uint32_t> tid(const Json& message);

// A "file.offer": absent when the id, the size (0...8 GiB) or the SHA-256 (64 hex digits, stored
// lower-case) is bad; the name is cleaned for the destination folder and never makes the offer absent.
struct FileOffer {
    std::uint32_t tid = 0;
    std::string name;
    std::int64_t size = 0;
    std::string sha256;
    bool operator==(const FileOffer&) const = default;
};
std::optional<FileOffer> fileOffer(const Json& message);

// "width" and "height" of "mirror.started", each 16...8192.
struct MirrorSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool operator==(const MirrorSize&) const = default;
};
std::optional<MirrorSize> mirrorSize(const Json& message);

// The "audio" object of "mirror.started": "rate" 8000...192000 Hz and "channels" 1...2.
struct AudioFormat {
    double rate = 0;
    std::int64_t channels = 0;
    bool operator==(const AudioFormat&) const = default;
};
std::optional<AudioFormat> audioFormat(const Json& message);

// A dotted quad of at most 15 bytes that is not in 0/8, 127/8, 169.254/16 or 224.0.0.0 and above.
// Private ranges count as routable.
bool isRoutableIPv4(std::string_view text);

}  // namespace velmora::Inbound
