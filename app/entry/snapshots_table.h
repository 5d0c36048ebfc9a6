#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/entry/snapshots_panel.h"
#include "app/model/ports/install_state.h"

namespace velmora::Snapshots {

// One panel picture: its file name without ".png", its appearance and its model's state. A maximum height
// replaces the panel's own for this shot only; `prefsOpen` opens the preferences for it.
struct PanelShot {
    PanelShot(std::string name, bool dark, PanelSetup setup, std::optional<double> maxHeight = std::nullopt,
              bool prefsOpen = false)
        : name(std::move(name)),
          dark(dark),
          setup(std::move(setup)),
          maxHeight(maxHeight),
          prefsOpen(prefsOpen) {}
    std::string name;
    bool dark;
    PanelSetup setup;
    std::optional<double> maxHeight;
    bool prefsOpen;
};

// While it lives, the panel takes `shot`'s maximum height and, where the shot asks, opens the preferences
// in `settings`.
class ShotScope {
  public:
    ShotScope(const PanelShot& shot, MemorySettings& settings);
    ~ShotScope();
    ShotScope(const ShotScope&) = delete;
    ShotScope& operator=(const ShotScope&) = delete;

  private:
    const bool prefsOpen_;
    MemorySettings& settings_;
};

// The phone on the cable that the installer pictures offer the companion app to.
InstallCandidate sampleCablePhone();

// Every panel picture in the order written. The installer's section pictures go after the first
// `kPanelShotsBeforeSections` of them.
std::vector<PanelShot> panelShots();
inline constexpr std::size_t kPanelShotsBeforeSections = 18;

}  // namespace velmora::Snapshots
