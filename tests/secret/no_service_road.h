#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "core/identity/keychain_identity.h"
#include "core/storage/app_paths.h"
#include "platform/secret/libsecret_store.h"

namespace velmora::test {

// What a computer without any Secret Service must see: nothing stored, nowhere to store, and an identity
// that lives in the key file across restarts.
inline void expectNoServiceRoad() {
    LibsecretStore store;
    EXPECT_EQ(store.lookup(KeychainIdentity::kAccount).status, SecretStatus::notFound);
    EXPECT_EQ(store.add("velmora-test", Bytes{1, 2, 3}), SecretStatus::unavailable);
    EXPECT_EQ(store.update("velmora-test", Bytes{1, 2, 3}), SecretStatus::unavailable);

    const KeychainIdentity first("pc", store);
    EXPECT_TRUE(std::filesystem::is_regular_file(AppPaths::supportDir() / KeychainIdentity::kKeyFileName));
    const KeychainIdentity second("pc", store);
    EXPECT_EQ(second.publicX963(), first.publicX963());
}

}  // namespace velmora::test
