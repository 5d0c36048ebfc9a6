#include "core/identity/keychain_identity.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <map>

#include "core/crypto/crypto_error.h"
#include "core/crypto/cxp_crypto.h"
#include "core/protocol/cxp_error.h"
#include "core/storage/app_paths.h"
#include "helpers.h"
#include "temp_data_home.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// An in-memory secret store whose answers a test can force, to drive every road of the identity loader.
struct FakeSecretStore : SecretStore {
    std::optional<std::int32_t> lookupFailure;  // every lookup answers this
    std::optional<std::int32_t> writeFailure;   // every add and update answers this
    bool successWithoutData = false;            // as a broken service might answer
    std::map<std::string, Bytes> items;
    int adds = 0, updates = 0;

    Lookup lookup(const std::string& account) override {
        if (lookupFailure) return {*lookupFailure, std::nullopt};
        const auto it = items.find(account);
        if (successWithoutData || it == items.end())
            return {successWithoutData ? 0 : SecretStatus::notFound, {}};
        return {SecretStatus::success, it->second};
    }
    std::int32_t add(const std::string& account, ByteView secret) override {
        ++adds;
        if (writeFailure || items.count(account)) return writeFailure.value_or(SecretStatus::duplicate);
        items[account] = Bytes(secret.begin(), secret.end());
        return SecretStatus::success;
    }
    std::int32_t update(const std::string& account, ByteView secret) override {
        ++updates;
        if (writeFailure) return *writeFailure;
        items[account] = Bytes(secret.begin(), secret.end());
        return SecretStatus::success;
    }
};

class KeychainIdentityTest : public ::testing::Test {
  protected:
    fs::path keyFile() const { return AppPaths::supportDir() / "identity.key"; }
    void writeKeyFile(const Bytes& raw, mode_t mode) const {
        test::writeFile(keyFile(), std::string(raw.begin(), raw.end()), mode);
    }
    // The CXPError that loading the identity ends with.
    CXPError loadError() {
        try {
            KeychainIdentity("pc", store);
        } catch (const CXPError& e) {
            return e;
        }
        ADD_FAILURE() << "no CXPError";
        return CXPError::closed();
    }
    Bytes publicOf(const Bytes& raw) const { return P256PrivateKey::fromRaw(raw).publicX963(); }

    test::TempDataHome home;
    FakeSecretStore store;
    const Bytes knownRaw = P256PrivateKey::generate().raw();
};

TEST_F(KeychainIdentityTest, FirstStartMakesAKeyInTheStoreAndLaterStartsLoadIt) {
    const KeychainIdentity first("Estação", store);
    EXPECT_EQ(store.adds, 1);
    EXPECT_FALSE(fs::exists(keyFile()));
    EXPECT_EQ(first.deviceName(), "Estação");
    const KeychainIdentity second("Estação", store);
    EXPECT_EQ(second.publicX963(), first.publicX963());
    EXPECT_EQ(store.adds, 1);
    // Signatures are raw and made with the loaded key.
    const Bytes message = {'h', 'i'};
    EXPECT_TRUE(CXPCrypto::verify(first.publicX963(), message, second.sign(message)));
}

TEST_F(KeychainIdentityTest, StoredKeyWinsOverAnyFileAndAUsableFileServesWhenTheStoreHasNone) {
    store.items["identity-p256"] = knownRaw;
    writeKeyFile(P256PrivateKey::generate().raw(), 0644);  // would be unsafe: not even examined
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), publicOf(knownRaw));

    store.items.clear();
    writeKeyFile(knownRaw, 0600);
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), publicOf(knownRaw));
    store.lookupFailure = SecretStatus::locked;  // a readable key is better than no identity
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), publicOf(knownRaw));
    EXPECT_EQ(store.adds, 0);
}

TEST_F(KeychainIdentityTest, WithoutASecretServiceAnOwnerOnlyKeyFileCarriesTheIdentity) {
    writeKeyFile({}, 0600);  // an empty file counts as absent
    store.lookupFailure = SecretStatus::notFound;
    store.writeFailure = SecretStatus::unavailable;
    const KeychainIdentity first("pc", store);
    EXPECT_EQ(test::modeOf(keyFile()), 0600u);
    EXPECT_EQ(fs::file_size(keyFile()), 32u);
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), first.publicX963());
}

TEST_F(KeychainIdentityTest, AnUnsafeKeyFileOrAFailingStoreIsAnErrorNeverANewKey) {
    writeKeyFile(knownRaw, 0640);
    EXPECT_EQ(loadError(), CXPError::identityFileUnsafe());
    fs::remove(keyFile());
    test::writeFile(home.root() / "planted.key", "x");
    fs::create_symlink(home.root() / "planted.key", keyFile());
    EXPECT_EQ(loadError(), CXPError::identityFileUnsafe());
    fs::remove(keyFile());

    store.lookupFailure = SecretStatus::locked;
    EXPECT_EQ(loadError(), CXPError::identityUnavailable(SecretStatus::locked));
    store.lookupFailure.reset();
    store.successWithoutData = true;
    EXPECT_EQ(loadError(), CXPError::identityUnavailable(SecretStatus::failed));
    EXPECT_EQ(store.adds, 0);
}

TEST_F(KeychainIdentityTest, ADamagedKeyThrowsAndIsNeverReplaced) {
    for (const Bytes& bad : {Bytes(31, 1), Bytes(32, 0), Bytes(33, 1)}) {
        store.items["identity-p256"] = bad;
        EXPECT_THROW(KeychainIdentity("pc", store), CryptoError);
        EXPECT_EQ(store.items["identity-p256"], bad);
    }
    store.items.clear();
    writeKeyFile(Bytes(40, 7), 0600);
    EXPECT_THROW(KeychainIdentity("pc", store), CryptoError);
    EXPECT_EQ(store.adds + store.updates, 0);
}

TEST_F(KeychainIdentityTest, AnItemTheSearchMissesIsUpdatedAndAKeyKeptNowhereIsASaveFailure) {
    store.items["identity-p256"] = {1, 2, 3};
    store.lookupFailure = SecretStatus::notFound;  // the item exists but the search does not see it
    const KeychainIdentity identity("pc", store);
    EXPECT_EQ(store.updates, 1);
    store.lookupFailure.reset();
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), identity.publicX963());

    store.items.clear();
    store.writeFailure = SecretStatus::kServiceErrorBase - 9;
    // No file can grow: the temporary key file cannot be written.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit none = old;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
    const CXPError error = loadError();
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(error, CXPError::identitySaveFailed(SecretStatus::kServiceErrorBase - 9));
    EXPECT_EQ(test::entriesIn(AppPaths::supportDir()), 0);
}

}  // namespace
}  // namespace velmora
