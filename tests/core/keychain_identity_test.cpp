#include "core/identity/keychain_identity.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "core/crypto/crypto_error.h"
#include "core/crypto/cxp_crypto.h"
#include "core/protocol/cxp_error.h"
#include "core/storage/app_paths.h"
#include "fake_secret_store.h"
#include "file_helpers.h"
#include "temp_data_home.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class KeychainIdentityTest : public ::testing::Test {
  protected:
    fs::path keyFile() const { return AppPaths::supportDir() / "identity.key"; }

    void writeKeyFile(const Bytes& raw, mode_t mode) const {
        test::writeFile(keyFile(), std::string(raw.begin(), raw.end()), mode);
    }

    static CXPError errorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const CXPError& e) {
            return e;
        }
        ADD_FAILURE() << "no CXPError";
        return CXPError::closed();
    }

    test::TempDataHome home;
    test::FakeSecretStore store;
    const Bytes knownRaw = P256PrivateKey::generate().raw();
};

TEST_F(KeychainIdentityTest, FirstStartMakesAKeyInTheStoreAndLaterStartsLoadIt) {
    const KeychainIdentity first("Estação", store);
    EXPECT_EQ(store.adds, 1);
    EXPECT_FALSE(fs::exists(keyFile()));
    EXPECT_EQ(first.deviceName(), "Estação");
    EXPECT_EQ(first.platform(), "mac");

    const KeychainIdentity second("Estação", store);
    EXPECT_EQ(second.publicX963(), first.publicX963());
    EXPECT_EQ(store.adds, 1);

    // Signatures are raw and made with the loaded key.
    ASSERT_EQ(second.publicX963().size(), 65u);
    const Bytes message = {'h', 'i'};
    const Bytes sig = second.sign(message);
    EXPECT_EQ(sig.size(), 64u);
    EXPECT_TRUE(CXPCrypto::verify(first.publicX963(), message, sig));
}

TEST_F(KeychainIdentityTest, StoredKeyWinsAndTheFileIsNotExamined) {
    store.items["identity-p256"] = knownRaw;
    writeKeyFile(P256PrivateKey::generate().raw(), 0644);  // would be unsafe
    const KeychainIdentity identity("pc", store);
    EXPECT_EQ(identity.publicX963(), P256PrivateKey::fromRaw(knownRaw).publicX963());
}

TEST_F(KeychainIdentityTest, WithoutASecretServiceTheKeyFileCarriesTheIdentityAcrossRestarts) {
    store.lookupFailure = SecretStatus::notFound;
    store.writeFailure = SecretStatus::unavailable;
    const KeychainIdentity first("pc", store);
    EXPECT_EQ(test::modeOf(keyFile()), 0600u);
    EXPECT_EQ(fs::file_size(keyFile()), 32u);

    const KeychainIdentity second("pc", store);
    EXPECT_EQ(second.publicX963(), first.publicX963());
}

TEST_F(KeychainIdentityTest, UsableKeyFileIsReadWhenTheStoreHasNothing) {
    writeKeyFile(knownRaw, 0600);
    const KeychainIdentity identity("pc", store);
    EXPECT_EQ(identity.publicX963(), P256PrivateKey::fromRaw(knownRaw).publicX963());
    EXPECT_EQ(store.adds, 0);

    // Also when the store fails: a readable key is better than no identity.
    store.lookupFailure = SecretStatus::locked;
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), identity.publicX963());
}

TEST_F(KeychainIdentityTest, UnsafeKeyFileIsRefusedEvenWhenTheStoreHasNothing) {
    writeKeyFile(knownRaw, 0640);
    EXPECT_EQ(errorOf([&] { KeychainIdentity("pc", store); }), CXPError::identityFileUnsafe());

    fs::remove(keyFile());
    const fs::path elsewhere = home.root() / "planted.key";
    test::writeFile(elsewhere, "x");
    fs::create_symlink(elsewhere, keyFile());
    EXPECT_EQ(errorOf([&] { KeychainIdentity("pc", store); }), CXPError::identityFileUnsafe());
    EXPECT_EQ(store.adds, 0);  // no key was made
}

TEST_F(KeychainIdentityTest, EmptyKeyFileCountsAsAbsent) {
    writeKeyFile({}, 0600);
    const KeychainIdentity identity("pc", store);
    EXPECT_EQ(store.adds, 1);
}

TEST_F(KeychainIdentityTest, StoreFailureWithoutAFileIsAnErrorNotANewKey) {
    store.lookupFailure = SecretStatus::locked;
    EXPECT_EQ(errorOf([&] { KeychainIdentity("pc", store); }),
              CXPError::identityUnavailable(SecretStatus::locked));
    store.lookupFailure.reset();
    store.successWithoutData = true;
    EXPECT_EQ(errorOf([&] { KeychainIdentity("pc", store); }),
              CXPError::identityUnavailable(SecretStatus::failed));
    EXPECT_EQ(store.adds, 0);
}

TEST_F(KeychainIdentityTest, DamagedStoredKeyThrowsAndIsNeverReplaced) {
    for (const Bytes& bad : {Bytes(31, 1), Bytes(32, 0), Bytes(33, 1)}) {
        store.items["identity-p256"] = bad;
        EXPECT_THROW(KeychainIdentity("pc", store), CryptoError);
        EXPECT_EQ(store.items["identity-p256"], bad);
    }
    store.items.clear();
    writeKeyFile(Bytes(40, 7), 0600);
    EXPECT_THROW(KeychainIdentity("pc", store), CryptoError);
    EXPECT_EQ(store.adds, 0);
}

TEST_F(KeychainIdentityTest, DuplicateItemIsUpdated) {
    store.items["identity-p256"] = {1, 2, 3};
    store.lookupFailure = SecretStatus::notFound;  // the item exists but the search does not see it
    const KeychainIdentity identity("pc", store);
    EXPECT_EQ(store.updates, 1);
    store.lookupFailure.reset();
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), identity.publicX963());
}

TEST_F(KeychainIdentityTest, KeyKeptNowhereIsASaveFailureWithTheStoreStatus) {
    store.writeFailure = SecretStatus::kServiceErrorBase - 9;
    // No file can grow: the temporary key file cannot be written.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit none = old;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
    const CXPError error = errorOf([&] { KeychainIdentity("pc", store); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(error, CXPError::identitySaveFailed(SecretStatus::kServiceErrorBase - 9));
    EXPECT_FALSE(fs::exists(keyFile()));
    EXPECT_EQ(test::entriesIn(AppPaths::supportDir()), 0);
}

}  // namespace
}  // namespace velmora
