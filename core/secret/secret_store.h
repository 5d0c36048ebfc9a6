#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/bytes.h"
#include "core/crypto/secret_bytes.h"

namespace velmora {

// Status codes of a secret store. They reach the user inside an error text, so they are stable numbers of
// our own; failures reported by the store's service map to kServiceErrorBase - their code.
namespace SecretStatus {
inline constexpr std::int32_t success = 0;
inline constexpr std::int32_t notFound = -1;     // no such item, or no secret service at all
inline constexpr std::int32_t duplicate = -2;    // add() found an item already there
inline constexpr std::int32_t locked = -3;       // the item exists but the user left its keyring locked
inline constexpr std::int32_t unavailable = -4;  // nowhere to write: no secret service is running
inline constexpr std::int32_t failed = -5;       // any other failure without a code of its own
inline constexpr std::int32_t kServiceErrorBase = -1000;
}  // namespace SecretStatus

// The user's secret store (a keyring), holding small binary secrets under an account name. Implementations
// are synchronous and may block while the user answers an unlock prompt; callers use them at start-up only.
class SecretStore {
  public:
    struct Lookup {
        std::int32_t status = SecretStatus::notFound;
        std::optional<SecretBytes> data;  // present exactly when status is success
    };

    virtual ~SecretStore() = default;

    virtual Lookup lookup(const std::string& account) = 0;
    // Stores a new item; SecretStatus::duplicate when one with this account exists (left unchanged).
    virtual std::int32_t add(const std::string& account, ByteView secret) = 0;
    // Replaces the secret of the existing item with this account.
    virtual std::int32_t update(const std::string& account, ByteView secret) = 0;
};

}  // namespace velmora
