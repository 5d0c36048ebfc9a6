#pragma once

#include <string>

#include "core/crypto/p256_private_key.h"
#include "core/identity/identity.h"
#include "core/secret/secret_store.h"
#include "core/storage/app_paths.h"

namespace velmora {

// The computer's long-lived signing key. It lives in the user's secret store (account "identity-p256",
// the raw 32-byte scalar); when the store refuses to keep it, in the owner-only file "identity.key" of
// AppPaths::supportDir(). Immutable after construction: any thread may sign.
class KeychainIdentity : public Identity {
  public:
    // The word announced in "auth". The phone relies on this exact wire value.
    static constexpr const char* kPlatform = "mac";
    static constexpr const char* kAccount = "identity-p256";
    static constexpr const char* kKeyFileName = AppPaths::kIdentityKeyFile;

    // Loads the key, or makes and stores a new one when nothing is stored anywhere. Throws
    // CXPError::identityUnavailable (store failure, no usable file), CXPError::identityFileUnsafe,
    // CXPError::identityFileUnreadable (the file is there but cannot be opened or read),
    // CXPError::identitySaveFailed (new key could be kept nowhere), or CryptoError (stored bytes are not
    // a P-256 scalar). In every failure nothing is written, so a damaged or unreadable key never silently
    // changes the identity.
    KeychainIdentity(std::string deviceName, SecretStore& store);

    const Bytes& publicX963() const override { return key_.publicX963(); }
    const std::string& deviceName() const override { return deviceName_; }
    const std::string& platform() const override { return platform_; }
    Bytes sign(ByteView data) const override { return key_.sign(data); }
    std::optional<std::filesystem::path> keyFile() const override { return keyFile_; }

  private:
    P256PrivateKey loadOrCreate(SecretStore& store);

    std::string deviceName_;
    std::string platform_ = kPlatform;
    std::optional<std::filesystem::path> keyFile_;  // set by loadOrCreate() before key_ is made
    P256PrivateKey key_;
};

}  // namespace velmora
