#include "core/protocol/inbound.h"

#include <algorithm>
#include <cmath>

#include "core/crypto/base64.h"
#include "core/discovery/device_id.h"
#include "core/net/ipv4.h"
#include "core/text/limits.h"
#include "core/text/safe_text.h"

namespace velmora::Inbound {

namespace {

// Beyond this a double no longer holds every whole number exactly.
constexpr double kMaxWhole = 9e15;
constexpr std::int64_t kMaxWholeInt = 9'000'000'000'000'000;

std::optional<std::int64_t> whole(const Json& v) {
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(kMaxWholeInt)) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    if (v.is_number_integer()) {
        const auto i = v.get<std::int64_t>();
        if (i > kMaxWholeInt || i < -kMaxWholeInt) return std::nullopt;
        return i;
    }
    if (v.is_number_float()) {
        const double d = v.get<double>();
        if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) > kMaxWhole) return std::nullopt;
        return static_cast<std::int64_t>(d);
    }
    return std::nullopt;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

const Json* field(const Json& message, std::string_view key) {
    if (!message.is_object()) return nullptr;
    const auto it = message.find(std::string(key));
    return it == message.end() ? nullptr : &*it;
}

std::optional<std::int64_t> integer(const Json* value, std::int64_t min, std::int64_t max) {
    if (value == nullptr) return std::nullopt;
    const auto n = whole(*value);
    if (!n || *n < min || *n > max) return std::nullopt;
    return n;
}

std::optional<double> number(const Json* value) {
    if (value == nullptr || !value->is_number()) return std::nullopt;
    const double d = value->get<double>();
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

std::optional<bool> boolean(const Json* value) {
    if (value == nullptr || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

std::optional<std::string> text(const Json* value, std::int64_t max) {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return SafeText::limit(value->get_ref<const std::string&>(), max, std::nullopt);
}

std::optional<std::string_view> rawText(const Json* value) {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return std::string_view(value->get_ref<const std::string&>());
}

std::optional<Bytes> base64(const Json* value, std::size_t maxText) {
    const auto encoded = rawText(value);
    if (!encoded || encoded->size() > maxText) return std::nullopt;
    return Base64::decode(*encoded);
}

std::optional<std::string> deviceId(const Json* value) {
    const auto id = rawText(value);
    if (!id || !Discovery::isDeviceID(*id)) return std::nullopt;
    return std::string(*id);
}

Status status(const Json& message) {
    Status s;
    s.battery = integer(field(message, "battery"), 0, 100);
    s.charging = boolean(field(message, "charging")).value_or(false);
    s.screen = boolean(field(message, "screen"));
    s.fast = boolean(field(message, "fast")).value_or(false);
    s.locks = boolean(field(message, "locks"));
    return s;
}

std::optional<std::int64_t> rttMs(const Json& message, double nowMs) {
    const auto sent = number(field(message, "ts"));
    if (!sent) return std::nullopt;
    const double rtt = nowMs - *sent;
    if (!(rtt >= 0 && rtt < 60000)) return std::nullopt;
    return static_cast<std::int64_t>(rtt);
}

NetOffer netOffer(const Json& message, std::int64_t defaultPort) {
    NetOffer offer;
    offer.port = integer(field(message, "port"), 1024, 65535).value_or(defaultPort);
    const Json* addrs = field(message, "addrs");
    if (addrs == nullptr || !addrs->is_array()) return offer;
    const std::size_t looked = std::min(addrs->size(), static_cast<std::size_t>(Limits::listMaxItems));
    for (std::size_t i = 0; i < looked; ++i) {
        // An over-long text is never cut down to 15 characters: "192.168.100.2000" would become the
        // valid 192.168.100.200, a host the phone never offered. 16 scalars keep it too long to pass.
        const auto ip = text(field((*addrs)[i], "ip"), 16);
        if (!ip || !isRoutableIPv4(*ip)) continue;
        if (std::find(offer.ips.begin(), offer.ips.end(), *ip) != offer.ips.end()) continue;
        offer.ips.push_back(*ip);
        if (static_cast<std::int64_t>(offer.ips.size()) >= Limits::offerMaxAddrs) break;
    }
    return offer;
}

std::optional<std::uint32_t> tid(const Json& message) {
    const auto id = integer(field(message, "tid"), 1, 2147483647);
    if (!id) return std::nullopt;
    return static_cast<std::uint32_t>(*id);
}

std::optional<FileOffer> fileOffer(const Json& message) {
    FileOffer offer;
    const auto id = tid(message);
    if (!id) return std::nullopt;
    offer.tid = *id;
    const auto size = integer(field(message, "size"), 0, Limits::maxFileSize);
    if (!size) return std::nullopt;
    offer.size = *size;
    const Json* hash = field(message, "sha256");
    if (hash == nullptr || !hash->is_string() || hash->get_ref<const std::string&>().size() != 64) {
        return std::nullopt;
    }
    offer.sha256 = hash->get<std::string>();
    std::transform(offer.sha256.begin(), offer.sha256.end(), offer.sha256.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    if (!std::all_of(offer.sha256.begin(), offer.sha256.end(), isHexDigit)) return std::nullopt;
    offer.name = SafeText::fileName(text(field(message, "name"), 1024));
    return offer;
}

std::optional<MirrorSize> mirrorSize(const Json& message) {
    const auto width = integer(field(message, "width"), 16, 8192);
    const auto height = integer(field(message, "height"), 16, 8192);
    if (!width || !height) return std::nullopt;
    return MirrorSize{*width, *height};
}

std::optional<AudioFormat> audioFormat(const Json& message) {
    const Json* audio = field(message, "audio");
    if (audio == nullptr || !audio->is_object()) return std::nullopt;
    const auto rate = number(field(*audio, "rate"));
    const auto channels = integer(field(*audio, "channels"), 1, 2);
    if (!rate || *rate < 8000 || *rate > 192000 || !channels) return std::nullopt;
    return AudioFormat{*rate, *channels};
}

bool isRoutableIPv4(std::string_view text) {
    if (text.size() > 15) return false;
    const auto v = IPv4::value(text);
    if (!v) return false;
    const std::uint32_t first = *v >> 24;
    if (first == 0 || first == 127 || first >= 224) return false;
    return (*v >> 16) != ((169u << 8) | 254u);
}

}  // namespace velmora::Inbound
