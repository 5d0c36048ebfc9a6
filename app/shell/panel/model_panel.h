#pragma once

#include <memory>

#include "app/shell/panel/panel_port.h"

namespace velmora {

class AppModel;
class Settings;

// The panel over the application's model: it reads the published state, the stale pairings and the
// cable phones known from `settings`; its controls call the model's operations. The guide, the log file
// and quitting go to the shell. The model's operations that do not exist yet (diagnostics report, sending
// files, notification permission) leave their actions empty. Main thread only; the model and `settings`
// outlive the panel.
PanelReader modelReader(const std::shared_ptr<AppModel>& model, std::shared_ptr<const Settings> settings);
PanelActions modelActions(const std::shared_ptr<AppModel>& model);

}  // namespace velmora
