#include "core/discovery/pairing_beacon.h"

#include <algorithm>
#include <stdexcept>

#include "core/crypto/cxp_crypto.h"

namespace velmora::PairingBeacon {
namespace {

constexpr std::size_t kMinData = 4;
constexpr std::size_t kMaxData = 16;
constexpr std::size_t kFlaggedData = idBytes + 1;

}  // namespace

std::optional<Ble> parseBle(ByteView data) {
    if (data.size() < kMinData || data.size() > kMaxData) return std::nullopt;
    if (data.size() == kFlaggedData) {
        return Ble{CXPCrypto::hex(data.first(idBytes)), (data[idBytes] & flagPairing) != 0};
    }
    return Ble{CXPCrypto::hex(data), std::nullopt};
}

Bytes bleServiceData(ByteView id, bool pairing) {
    if (id.size() < idBytes) throw std::invalid_argument("id de dispositivo curto demais para o anúncio BLE");
    Bytes out(id.begin(), id.begin() + idBytes);
    out.push_back(pairing ? flagPairing : 0);
    return out;
}

std::string txtValue(bool pairing) {
    return pairing ? "1" : "0";
}

std::optional<bool> parseTxt(std::optional<std::string_view> value) {
    if (value == "1") return true;
    if (value == "0") return false;
    return std::nullopt;
}

std::optional<bool> merge(std::span<const std::optional<bool>> flags) {
    if (std::any_of(flags.begin(), flags.end(), [](const auto& f) { return f == true; })) return true;
    if (std::any_of(flags.begin(), flags.end(), [](const auto& f) { return f == false; })) return false;
    return std::nullopt;
}

}  // namespace velmora::PairingBeacon
