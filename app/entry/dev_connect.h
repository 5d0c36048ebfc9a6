#pragma once

#include <string>

namespace velmora {

class AppModel;

// The developer switch VELMORA_DEV_CONNECT="host[:port]": the model connects to that address at start, as
// the user's typed address does, so the application can be tried against the simulated phone. Does nothing
// when the variable is unset or empty. GUI thread.
void connectFromEnvironment(AppModel& model);

}  // namespace velmora
