#include "platform/secret/libsecret_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "core/crypto/cxp_crypto.h"
#include "core/identity/keychain_identity.h"
#include "core/storage/app_paths.h"
#include "core/temp_data_home.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string road() {
    const char* r = std::getenv("VELMORA_SECRET_ROAD");
    return r == nullptr ? "" : r;
}

// What a computer without any Secret Service must see: nothing stored, nowhere to store, and an identity
// that lives in the key file across restarts.
void expectNoServiceRoad() {
    LibsecretStore store;
    EXPECT_EQ(store.lookup(KeychainIdentity::kAccount).status, SecretStatus::notFound);
    EXPECT_EQ(store.add("velmora-test", Bytes{1, 2, 3}), SecretStatus::unavailable);
    EXPECT_EQ(store.update("velmora-test", Bytes{1, 2, 3}), SecretStatus::unavailable);

    const KeychainIdentity first("pc", store);
    EXPECT_TRUE(fs::is_regular_file(AppPaths::supportDir() / KeychainIdentity::kKeyFileName));
    const KeychainIdentity second("pc", store);
    EXPECT_EQ(second.publicX963(), first.publicX963());
}

TEST(SecretStoreWithoutBus, ReadsAsNotFoundAndTheKeyFileCarriesTheIdentity) {
    test::TempDataHome home;
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DISPLAY");
    ::setenv("XDG_RUNTIME_DIR", home.root().c_str(), 1);  // holds no "bus" socket
    expectNoServiceRoad();
}

// The tests below run only under private_bus.sh, which provides the bus they need.
TEST(SecretStoreOnPrivateBus, AnswersAsTheProviderAllows) {
    if (road().empty()) GTEST_SKIP() << "run by private_bus.sh";
    test::TempDataHome home;
    if (road() == "no-provider") {
        expectNoServiceRoad();
        return;
    }
    LibsecretStore store("velmora-test");
    const std::string account = "round-trip";
    const Bytes first = CXPCrypto::randomBytes(32), second = CXPCrypto::randomBytes(32);
    EXPECT_EQ(store.lookup(account).status, SecretStatus::notFound);
    ASSERT_EQ(store.add(account, first), SecretStatus::success);
    EXPECT_EQ(store.lookup(account).data, first);
    EXPECT_EQ(store.add(account, second), SecretStatus::duplicate);
    EXPECT_EQ(store.lookup(account).data, first);
    ASSERT_EQ(store.update(account, second), SecretStatus::success);
    const SecretStore::Lookup found = store.lookup(account);
    EXPECT_EQ(found.status, SecretStatus::success);
    EXPECT_EQ(found.data, second);
    // Binary secrets with NUL bytes come back whole.
    const Bytes zeros(32, 0);
    ASSERT_EQ(store.update(account, zeros), SecretStatus::success);
    EXPECT_EQ(store.lookup(account).data, zeros);
}

fs::path scratch() {
    const char* s = std::getenv("VELMORA_SECRET_SCRATCH");
    return s == nullptr ? fs::path() : fs::path(s);
}

TEST(RealKeyring, FirstStartStoresTheKeyInTheKeyring) {
    if (road() != "keyring") GTEST_SKIP() << "run by private_bus.sh";
    LibsecretStore store;
    const KeychainIdentity identity("pc", store);
    EXPECT_FALSE(fs::exists(AppPaths::supportDir() / KeychainIdentity::kKeyFileName));
    std::ofstream(scratch() / "first-public-key") << CXPCrypto::hex(identity.publicX963());
}

TEST(RealKeyring, SecondStartLoadsTheSameKey) {
    if (road() != "keyring") GTEST_SKIP() << "run by private_bus.sh";
    std::ifstream in(scratch() / "first-public-key");
    std::string firstKey;
    in >> firstKey;
    ASSERT_FALSE(firstKey.empty());
    LibsecretStore store;
    const KeychainIdentity identity("pc", store);
    EXPECT_EQ(CXPCrypto::hex(identity.publicX963()), firstKey);
    EXPECT_FALSE(fs::exists(AppPaths::supportDir() / KeychainIdentity::kKeyFileName));
}

}  // namespace
}  // namespace velmora
