#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/model/ports/install_state.h"

namespace velmora {

// The companion-app installer: watches the phones on the USB cable and installs the app on one of them
// (PhoneInstaller in app/links/installer in the application). Main thread for every call; onChange runs
// there after each change of the published values.
class CompanionInstaller {
  public:
    virtual ~CompanionInstaller() = default;

    // Polls the cable from now on; nothing without adb, and nothing more when already polling.
    virtual void start() = 0;
    // Installs (or updates) the app on `candidate`; ignored while an install runs or without adb.
    virtual void install(const InstallCandidate& candidate) = 0;
    // At quit: ends the polling and any install in flight (its adb child ended, its staged copy removed),
    // waiting a bounded time. Nothing is started or published afterwards.
    virtual void stop() = 0;

    // Cable phones without the app, all ready cable phones, those that do not trust this computer yet.
    virtual const std::vector<InstallCandidate>& candidates() const = 0;
    virtual const std::vector<InstallCandidate>& cableDevices() const = 0;
    virtual int unauthorized() const = 0;
    virtual const InstallStatus& status() const = 0;
    virtual const std::optional<std::string>& adbPath() const = 0;

    // The panel returns a finished install to idle through this.
    virtual void setStatus(InstallStatus status) = 0;
    // Fills the published values without polling (the screen-state snapshots).
    virtual void setPreview(std::vector<InstallCandidate> candidates, int unauthorized,
                            InstallStatus status) = 0;
    virtual void setOnChange(std::function<void()> handler) = 0;
};

}  // namespace velmora
