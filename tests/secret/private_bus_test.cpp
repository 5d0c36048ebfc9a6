// Tests that need a session bus of their own: private_bus.sh starts one (with or without a keyring daemon)
// and runs this program on it, so it is registered with CTest only through that script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "core/crypto/cxp_crypto.h"
#include "core/temp_data_home.h"
#include "no_service_road.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string road() {
    const char* r = std::getenv("VELMORA_SECRET_ROAD");
    return r == nullptr ? "" : r;
}

TEST(SecretStoreOnPrivateBus, AnswersAsTheProviderAllows) {
    if (road().empty()) GTEST_SKIP() << "run by private_bus.sh";
    test::TempDataHome home;
    if (road() == "no-provider") {
        test::expectNoServiceRoad();
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
