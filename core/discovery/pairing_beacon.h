#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/bytes.h"

// The phone's ready-to-pair flag, as its Bluetooth LE service data and its DNS-SD TXT record carry it.
// Pure; any thread.
namespace velmora::PairingBeacon {

// Bytes of the device id carried in the service data (the first 16 hex digits of the id text).
inline constexpr std::size_t idBytes = 8;
// The bit of the flags byte that means "ready to pair".
inline constexpr std::uint8_t flagPairing = 1;
inline constexpr std::string_view txtKey = "pair";

struct Ble {
    std::string idHex;            // the carried id bytes in lower-case hex
    std::optional<bool> pairing;  // absent when the service data has no flags byte

    bool operator==(const Ble&) const = default;
};

// 9 bytes: id prefix and flags byte (only bit 0 counts). 4 to 16 bytes otherwise: an id prefix alone.
// Anything shorter or longer is not the phone's service data.
std::optional<Ble> parseBle(ByteView data);

// The first 8 bytes of `id` and the flags byte: always 9 bytes. Throws std::invalid_argument for an id
// shorter than 8 bytes, which would announce a prefix of some other phone.
Bytes bleServiceData(ByteView id, bool pairing);

std::string txtValue(bool pairing);

// Exactly "1" or "0"; anything else (absent, "true", " 1") says nothing.
std::optional<bool> parseTxt(std::optional<std::string_view> value);

// Any true wins; else any false; else nothing known.
std::optional<bool> merge(std::span<const std::optional<bool>> flags);

}  // namespace velmora::PairingBeacon
