#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "app/model/published_state.h"

namespace velmora {

class AppModel;
class Executor;
class MemorySettings;
class MenuPanel;

// One panel shot's model: a fresh preview model, and the state the panel shows. A preview model finds and
// connects nothing, so what discovery and a session would publish is written into `state`, which becomes the
// model's published state after the setup; what the model's own operations keep (the connection order, the
// phone's apps, the notification filter and the switches) is changed through `model` and kept from it.
struct PanelPreview {
    AppModel& model;
    PublishedState& state;
};
using PanelSetup = std::function<void(PanelPreview&)>;

// Renders the real panel (its state bodies, the preferences and the permissions sections) over preview
// models, one per shot, read as the running panel reads its model, all reading and writing `settings`, never
// the user's. GUI thread.
class PanelStage {
  public:
    PanelStage(std::shared_ptr<MemorySettings> settings, std::shared_ptr<Executor> main);

    // Clears "linkPrefs", "phoneApps" and "notifOverrides", makes a preview model whose browser is ready and
    // whose notifications are authorised, runs `setup` and writes the panel, 360 wide, to `file`.
    bool shot(const QString& file, bool dark, const PanelSetup& setup) const;

    // As shot, but hands the panel (to take over) to `use` in the appearance, and answers what `use` does.
    bool present(bool dark, const PanelSetup& setup, const std::function<bool(MenuPanel* panel)>& use) const;

  private:
    std::shared_ptr<MemorySettings> settings_;
    std::shared_ptr<Executor> main_;
};

}  // namespace velmora
