#pragma once

#include <string>

#include "core/secret/secret_store.h"

namespace velmora {

// SecretStore over the freedesktop Secret Service (GNOME Keyring, KWallet, KeePassXC...). Items carry the
// attributes "service" (the constructor's argument) and "account".
//
// A Secret Service that is not there at all (no session bus, no provider on it) reads as notFound and
// refuses writes with SecretStatus::unavailable, so a desktop without a keyring still starts on the key
// file. A real refusal (a keyring left locked, access denied) stays an error. Calls block while an unlock
// prompt is open; any thread may call them.
class LibsecretStore : public SecretStore {
  public:
    explicit LibsecretStore(std::string service = "velmora");

    Lookup lookup(const std::string& account) override;
    std::int32_t add(const std::string& account, ByteView secret) override;
    std::int32_t update(const std::string& account, ByteView secret) override;

  private:
    std::int32_t store(const std::string& account, ByteView secret);

    std::string service_;
};

}  // namespace velmora
