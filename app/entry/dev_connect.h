#pragma once

#include <string>

namespace velmora {

class AppModel;

// The developer switch VELMORA_DEV_CONNECT="host[:port]": at start the model is given that text as the user's
// typed address (AppModel::connectManual), so the application can be tried against the simulated phone before
// the panel has its address field. Does nothing when the variable is unset or empty. GUI thread.
void connectFromEnvironment(AppModel& model);

}  // namespace velmora
