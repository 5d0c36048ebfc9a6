#pragma once

#include <string>

#include "core/crypto/p256_private_key.h"
#include "core/identity/identity.h"

namespace velmora {

// An identity whose key lives only in memory: the simulated phone's, and the computer's in tests that
// need no secret store. Immutable; any thread may sign.
class SoftwareIdentity final : public Identity {
  public:
    SoftwareIdentity(std::string deviceName, std::string platform,
                     P256PrivateKey key = P256PrivateKey::generate());

    const Bytes& publicX963() const override { return key_.publicX963(); }
    const std::string& deviceName() const override { return deviceName_; }
    const std::string& platform() const override { return platform_; }
    Bytes sign(ByteView data) const override { return key_.sign(data); }

    // The device id of this key.
    const std::string& id() const { return id_; }

  private:
    std::string deviceName_;
    std::string platform_;
    P256PrivateKey key_;
    std::string id_;
};

}  // namespace velmora
