#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/bytes.h"

namespace velmora {

// The computer as it presents itself to a phone.
class Identity {
  public:
    virtual ~Identity() = default;

    // The signing public key, X9.63 uncompressed (65 bytes).
    virtual const Bytes& publicX963() const = 0;
    virtual const std::string& deviceName() const = 0;
    virtual const std::string& platform() const = 0;
    // ECDSA P-256 / SHA-256 signature of `data` in the raw 64-byte r||s form.
    virtual Bytes sign(ByteView data) const = 0;
    // The file that keeps the private key, when a file does (no secret store took it); absent while the
    // user's secret store keeps it, or when it is kept nowhere.
    virtual std::optional<std::filesystem::path> keyFile() const { return std::nullopt; }
};

}  // namespace velmora
