#include "core/identity/keychain_identity.h"

#include <cerrno>
#include <variant>

#include "core/errors/cxp_error.h"
#include "core/storage/app_paths.h"
#include "core/storage/secure_file.h"

namespace velmora {
namespace {

// Far more than a 32-byte key: anything larger is refused by the key constructor without being read whole.
constexpr std::size_t kMaxKeyFile = 4096;

struct NothingStored {};
struct StoreFailure {
    std::int32_t status;
};
struct UnsafeFile {};
struct UnreadableFile {
    int error;
};
struct FromFile {
    SecretBytes bytes;
};
using Loaded = std::variant<SecretBytes, FromFile, NothingStored, StoreFailure, UnsafeFile, UnreadableFile>;

std::filesystem::path keyFilePath() {
    return AppPaths::supportDir() / KeychainIdentity::kKeyFileName;
}

// The secret store wins when it answers with the key; the file is looked at only otherwise, and an unsafe
// file is refused even when the store has nothing, so a planted key cannot become the identity. A file that
// is there but cannot be read is an error too, whatever the store said: taken for a missing one, it would be
// overwritten by a new key, and every paired phone would have to pair again.
Loaded load(SecretStore& store) {
    SecretStore::Lookup found = store.lookup(KeychainIdentity::kAccount);
    if (found.status == SecretStatus::success && found.data) return std::move(*found.data);

    const std::filesystem::path file = keyFilePath();
    switch (SecureFile::inspect(file, true)) {
        case SecureFile::Inspection::unsafe:
            return UnsafeFile{};
        case SecureFile::Inspection::ok: {
            std::optional<SecretBytes> bytes = SecureFile::readSecret(file, kMaxKeyFile);
            if (!bytes) return UnreadableFile{errno};
            if (!bytes->empty()) return FromFile{std::move(*bytes)};
            break;  // an empty file holds no key: as good as none
        }
        case SecureFile::Inspection::missing:
            break;
    }
    if (found.status == SecretStatus::notFound) return NothingStored{};
    return StoreFailure{found.status == SecretStatus::success ? SecretStatus::failed : found.status};
}

// Where the key went: the store (nothing returned) or the file.
std::optional<std::filesystem::path> save(SecretStore& store, ByteView raw) {
    std::int32_t status = store.add(KeychainIdentity::kAccount, raw);
    if (status == SecretStatus::duplicate) status = store.update(KeychainIdentity::kAccount, raw);
    if (status == SecretStatus::success) return std::nullopt;
    if (SecureFile::writeAtomically(raw, keyFilePath(), 0600)) return keyFilePath();
    throw CXPError::identitySaveFailed(status);
}

}  // namespace

KeychainIdentity::KeychainIdentity(std::string deviceName, SecretStore& store)
    : deviceName_(std::move(deviceName)), key_(loadOrCreate(store)) {}

P256PrivateKey KeychainIdentity::loadOrCreate(SecretStore& store) {
    Loaded loaded = load(store);
    if (auto* bytes = std::get_if<SecretBytes>(&loaded)) return P256PrivateKey::fromRaw(*bytes);
    if (auto* file = std::get_if<FromFile>(&loaded)) {
        P256PrivateKey key = P256PrivateKey::fromRaw(file->bytes);
        keyFile_ = keyFilePath();
        return key;
    }
    if (auto* failure = std::get_if<StoreFailure>(&loaded))
        throw CXPError::identityUnavailable(failure->status);
    if (std::holds_alternative<UnsafeFile>(loaded)) throw CXPError::identityFileUnsafe();
    if (auto* unreadable = std::get_if<UnreadableFile>(&loaded))
        throw CXPError::identityFileUnreadable(unreadable->error);

    P256PrivateKey fresh = P256PrivateKey::generate();
    keyFile_ = save(store, fresh.raw());
    return fresh;
}

}  // namespace velmora
