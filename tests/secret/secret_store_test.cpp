// The secret store on each road a computer offers. Built twice: velmora_secret_tests runs with no session
// bus; velmora_secret_bus_tests (VELMORA_PRIVATE_BUS) runs through private_bus.sh, on a bus of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "core/crypto/cxp_crypto.h"
#include "core/identity/keychain_identity.h"
#include "core/storage/app_paths.h"
#include "core/temp_data_home.h"
#include "platform/secret/libsecret_store.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Without any Secret Service: nothing stored, nowhere to store, and an identity that lives in the key file
// across restarts.
void expectNoServiceRoad() {
    LibsecretStore store;
    EXPECT_EQ(store.lookup(KeychainIdentity::kAccount).status, SecretStatus::notFound);
    EXPECT_EQ(store.add("velmora-test", Bytes{1, 2, 3}), SecretStatus::unavailable);
    EXPECT_EQ(store.update("velmora-test", Bytes{1, 2, 3}), SecretStatus::unavailable);
    const KeychainIdentity first("pc", store);
    EXPECT_TRUE(fs::is_regular_file(AppPaths::supportDir() / KeychainIdentity::kKeyFileName));
    EXPECT_EQ(KeychainIdentity("pc", store).publicX963(), first.publicX963());
}

#ifndef VELMORA_PRIVATE_BUS

TEST(SecretStoreWithoutBus, ReadsAsNotFoundAndTheKeyFileCarriesTheIdentity) {
    test::TempDataHome home;
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DISPLAY");
    ::setenv("XDG_RUNTIME_DIR", home.root().c_str(), 1);  // holds no "bus" socket
    expectNoServiceRoad();
}

#else

class PrivateBus : public ::testing::Test {
    void SetUp() override {
        if (std::getenv("VELMORA_SECRET_ROAD") == nullptr) GTEST_SKIP() << "run by private_bus.sh";
    }
};

TEST_F(PrivateBus, AnswersAsTheProviderAllows) {
    test::TempDataHome home;
    if (std::string(std::getenv("VELMORA_SECRET_ROAD")) == "no-provider") return expectNoServiceRoad();
    LibsecretStore store("velmora-test");
    const Bytes first = CXPCrypto::randomBytes(32), second = CXPCrypto::randomBytes(32), zeros(32, 0);
    const auto secret = [](const Bytes& b) { return std::optional(SecretBytes(b.begin(), b.end())); };
    EXPECT_EQ(store.lookup("round-trip").status, SecretStatus::notFound);
    ASSERT_EQ(store.add("round-trip", first), SecretStatus::success);
    EXPECT_EQ(store.add("round-trip", second), SecretStatus::duplicate);
    EXPECT_EQ(store.lookup("round-trip").data, secret(first));
    ASSERT_EQ(store.update("round-trip", second), SecretStatus::success);
    EXPECT_EQ(store.lookup("round-trip").data, secret(second));
    ASSERT_EQ(store.update("round-trip", zeros), SecretStatus::success);  // NUL bytes come back whole
    EXPECT_EQ(store.lookup("round-trip").data, secret(zeros));
}

// Two processes, so that the second proves a restart loads the key the first stored in the keyring.
TEST_F(PrivateBus, KeyringFirstStartStoresTheKeyThere) {
    LibsecretStore store;
    const KeychainIdentity identity("pc", store);
    EXPECT_FALSE(fs::exists(AppPaths::supportDir() / KeychainIdentity::kKeyFileName));
    std::ofstream(fs::path(std::getenv("VELMORA_SECRET_SCRATCH")) / "first-public-key")
        << CXPCrypto::hex(identity.publicX963());
}

TEST_F(PrivateBus, KeyringSecondStartLoadsTheSameKey) {
    std::string firstKey;
    std::ifstream(fs::path(std::getenv("VELMORA_SECRET_SCRATCH")) / "first-public-key") >> firstKey;
    ASSERT_FALSE(firstKey.empty());
    LibsecretStore store;
    EXPECT_EQ(CXPCrypto::hex(KeychainIdentity("pc", store).publicX963()), firstKey);
    EXPECT_FALSE(fs::exists(AppPaths::supportDir() / KeychainIdentity::kKeyFileName));
}

#endif

}  // namespace
}  // namespace velmora
