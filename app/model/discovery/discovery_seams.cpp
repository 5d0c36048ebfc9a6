// Where link upgrades, the idle descent and the wake plug into the model. Each of these members is called
// from the right place already; the later work fills them in.
#include "app/model/app_model.h"

namespace velmora {

// Restarts the searches and re-plans after the computer woke.
void AppModel::handleWake() {}

// Moves the live session to a faster link when one ranks higher in the user's order.
void AppModel::considerUpgrade() {}

// Moves a TCP session down to Bluetooth while the phone's screen is off, and back up.
void AppModel::evaluateIdle() {}

}  // namespace velmora
