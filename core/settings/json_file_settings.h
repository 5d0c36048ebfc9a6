#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "core/settings/memory_settings.h"

namespace velmora {

// The application's settings, kept as one JSON object in a file that is rewritten whole after every
// change: written to a temporary file in the same folder, flushed, then renamed over the old one, so that
// a crash or a full disk leaves either the old file or the new one, never half of one.
//
// A missing file is an empty store. A file that cannot be read or holds no JSON object is renamed to
// "<name>.bad" (replacing an older one) and the store starts empty: the user's file is kept for a look
// rather than overwritten by the next change. A write that fails keeps the value in memory for this run.
// Failures are reported through `report` (the application passes its log), never thrown.
//
// Any thread may call any member; the file is written on the calling thread, under the store's lock.
class JsonFileSettings final : public MemorySettings {
  public:
    using Report = std::function<void(const std::string& line)>;

    explicit JsonFileSettings(std::filesystem::path file, Report report = {});

    // $XDG_CONFIG_HOME/Velmora/settings.json, where an unset, empty or relative $XDG_CONFIG_HOME stands
    // for ~/.config.
    static std::filesystem::path defaultPath();

    const std::filesystem::path& path() const { return file_; }

  private:
    void changed(const Values& all) override;

    const std::filesystem::path file_;
    const Report report_;
};

}  // namespace velmora
