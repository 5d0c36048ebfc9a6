#pragma once

#include <string>

#include "core/identity/identity.h"

namespace velmora {

// The fixed identity of the preview model (the screen-state snapshot tool), so that rendering the
// screens never reads or creates a key in the user's keyring. Its key and signatures are placeholders
// that no phone would accept.
class PreviewIdentity final : public Identity {
  public:
    // A neutral name of our own, 11 characters long like the names the real identity announces.
    static constexpr const char* kDeviceName = "Workstation";

    const Bytes& publicX963() const override { return publicX963_; }
    const std::string& deviceName() const override { return deviceName_; }
    const std::string& platform() const override { return platform_; }
    // 64 zero bytes for any input; never fails.
    Bytes sign(ByteView data) const override;

  private:
    // The length of an uncompressed P-256 public key, every byte 0x04.
    const Bytes publicX963_ = Bytes(65, 0x04);
    const std::string deviceName_ = kDeviceName;
    // The platform word the phone expects from this side of the link.
    const std::string platform_ = "mac";
};

}  // namespace velmora
