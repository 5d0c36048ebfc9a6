#pragma once

#include <map>
#include <mutex>
#include <string>

#include "core/secret/secret_store.h"

namespace velmora::test {

// An in-memory secret store whose answers a test can force, to drive every road of the identity loader.
class FakeSecretStore : public SecretStore {
  public:
    // When set, every call answers with this status and changes nothing.
    std::optional<std::int32_t> lookupFailure;
    std::optional<std::int32_t> writeFailure;
    // Answers success without data, as a broken service might.
    bool successWithoutData = false;

    std::map<std::string, Bytes> items;
    int lookups = 0;
    int adds = 0;
    int updates = 0;

    Lookup lookup(const std::string& account) override {
        ++lookups;
        if (lookupFailure) return {*lookupFailure, std::nullopt};
        if (successWithoutData) return {SecretStatus::success, std::nullopt};
        const auto it = items.find(account);
        if (it == items.end()) return {SecretStatus::notFound, std::nullopt};
        return {SecretStatus::success, it->second};
    }

    std::int32_t add(const std::string& account, ByteView secret) override {
        ++adds;
        if (writeFailure) return *writeFailure;
        if (items.count(account) != 0) return SecretStatus::duplicate;
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

}  // namespace velmora::test
