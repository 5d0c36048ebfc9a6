#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "core/settings/settings.h"

namespace velmora {

// Settings held in memory: the store of the tests and of the snapshot tool, and the cache under the file
// store. Any thread may call any member; valuesLock_ guards values_.
class MemorySettings : public Settings {
  public:
    MemorySettings() = default;

    std::optional<nlohmann::json> value(std::string_view key) const override;
    void setValue(std::string_view key, nlohmann::json value) override;
    void remove(std::string_view key) override;

  protected:
    using Values = std::map<std::string, nlohmann::json, std::less<>>;

    explicit MemorySettings(Values initial) : values_(std::move(initial)) {}

    // Called with every value after each real change, still under the lock, so that a store behind this
    // one sees the changes one at a time and in the order they were made.
    virtual void changed(const Values& /*all*/) {}

  private:
    mutable std::mutex valuesLock_;
    Values values_;
};

}  // namespace velmora
