#pragma once

#include <memory>

#include "app/shell/panel/panel_port.h"

namespace velmora {

class AppModel;
class Settings;
struct PublishedState;

// Whether the panel offers to update the phone's app: the model's rule with this build's number, where
// `packageCarried` tells whether this computer has the companion package to install.
bool phoneUpdateOffered(const PublishedState& state, bool packageCarried);
// Whether the installed companion package is there (PhoneInstaller::Package::installed() has an apk).
bool companionPackageCarried();

// The panel over the application's model: it reads the published state, the stale pairings and the
// cable phones known from `settings`, and offers the phone's app update when the companion package is
// carried; its controls call the model's operations (showing the log file goes through the model's
// workspace). The guide and quitting go to the shell. The model's operations that do not exist yet
// (diagnostics report, sending files, notification permission) leave their actions empty. Main thread only;
// the model and `settings` outlive the panel.
PanelReader modelReader(const std::shared_ptr<AppModel>& model, std::shared_ptr<const Settings> settings);
PanelActions modelActions(const std::shared_ptr<AppModel>& model);

}  // namespace velmora
