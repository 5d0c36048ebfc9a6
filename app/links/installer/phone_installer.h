#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/links/installer/install_outcome.h"
#include "app/model/ports/companion_installer.h"
#include "core/exec/executor.h"
#include "core/process/process_runner.h"

namespace velmora {

// Watches the phones on the USB cable through adb, finds those that lack the companion app, and installs it
// on one of them after the package passed ApkIntegrity.
//
// Threads: the constructor, start(), install(), setStatus(), setPreview(), setOnChange() and every reader of
// the published values run on the main executor, and the published values change only there; onChange is
// called there after each change. Polls and the install work run on the installer's queue
// ("corvix.installer"), one at a time, so a poll's adb commands never overlap an install. The installer
// must not be stopped or destroyed from its own queue.
//
// Any failure inside an install, an exception included, ends it with a failed status, so the installer is
// free again for the next poll and install. stop() (and the destructor) ends the polling and the install in
// flight: its adb child is ended and reaped, its staged copy removed, and its outcome dropped.
class PhoneInstaller final : public CompanionInstaller {
  public:
    using Candidate = InstallCandidate;
    using Status = InstallStatus;

    // One line of `adb devices -l`.
    struct Device {
        std::string serial;
        std::string state;  // "device", "unauthorized", "offline", ...
        std::string model;  // "_" turned into "-"; the serial when adb gave none
        bool usb = false;   // on a cable (a "usb:" field); wireless adb and emulators have none
        bool operator==(const Device&) const = default;
    };

    // The companion package and its expected SHA-256, as found at start.
    struct Package {
        std::optional<std::filesystem::path> apk;
        std::optional<std::string> expectedHash;
        // "Velmora.apk" and "Velmora.apk.sha256" in `dir`; each absent when its file is not there (or the
        // digest file holds no digest).
        static Package in(const std::filesystem::path& dir);
        // The installed package: in VELMORA_COMPANION_DIR when that is set, else in the folder the build
        // configured beside the installed resources.
        static Package installed();
    };

    static constexpr std::string_view packageId = "app.velmora.companion";
    static constexpr double firstPollDelay = 2.0;
    static constexpr double pollInterval = 4.0;
    static constexpr double recheckAfter = 30.0;
    static constexpr double listTimeout = 6.0;
    static constexpr double queryTimeout = 8.0;
    static constexpr double installTimeout = 180.0;
    // How long stop() waits for the task at work once its adb was told to end (the runner's kill grace is
    // 1 s); a child that outlives it is left to a thread of its own.
    static constexpr double stopWait = 3.0;

    // The application's installer: the installed package, its own queue "corvix.installer" and the posix
    // process runner. `main` runs the published changes.
    PhoneInstaller(std::optional<std::string> adbPath, std::shared_ptr<Executor> main);
    // `queue` runs polls and installs (tests pass a ManualExecutor), `runner` runs adb.
    PhoneInstaller(std::optional<std::string> adbPath, Package package, std::shared_ptr<Executor> queue,
                   std::shared_ptr<Executor> main, std::shared_ptr<ProcessRunner> runner);
    ~PhoneInstaller() override;
    PhoneInstaller(const PhoneInstaller&) = delete;
    PhoneInstaller& operator=(const PhoneInstaller&) = delete;

    // Polls 2 s from now, then every 4 s. Nothing without adb, and nothing more when already polling.
    void start() override;
    // Installs (or updates) the companion app on `candidate`. Ignored while an install runs, without adb
    // or once stopped.
    void install(const Candidate& candidate) override;
    // Stops for good: no more polls; an adb command running is ended and the install's staged copy removed.
    // Waits for that at most `stopWait`. Nothing is published afterwards.
    void stop() override;

    const std::vector<Candidate>& candidates() const override;
    const std::vector<Candidate>& cableDevices() const override;
    int unauthorized() const override;
    const Status& status() const override;
    const std::optional<std::string>& adbPath() const override;

    // The section returns a finished install to idle through this.
    void setStatus(Status status) override;
    // Fills the published values without polling (the screen-state snapshots).
    void setPreview(std::vector<Candidate> candidates, int unauthorized, Status status) override;
    void setOnChange(std::function<void()> handler) override;

    static std::vector<Device> parseDevices(std::string_view text);
    // Whether `pm list packages` output lists exactly `name` (not a longer name that also matches the
    // filter).
    static bool hasPackage(std::string_view output, std::string_view name);

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::shared_ptr<Executor> queue_;  // released by stop(): an owned queue joins while the state still lives
};

}  // namespace velmora
