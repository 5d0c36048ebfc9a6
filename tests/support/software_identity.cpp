#include "support/software_identity.h"

#include "core/crypto/cxp_crypto.h"

namespace velmora {

SoftwareIdentity::SoftwareIdentity(std::string deviceName, std::string platform, P256PrivateKey key)
    : deviceName_(std::move(deviceName)),
      platform_(std::move(platform)),
      key_(std::move(key)),
      id_(CXPCrypto::deviceId(key_.publicX963())) {}

}  // namespace velmora
