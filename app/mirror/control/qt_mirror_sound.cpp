#include "app/mirror/control/qt_mirror_sound.h"

namespace velmora {

QtMirrorSound::QtMirrorSound() : ctl_("tessel.audio.ctl"), player_(output_, ctl_) {}

// The player's last stop reaches the device before the queue and the device go.
QtMirrorSound::~QtMirrorSound() {
    player_.stop();
    ctl_.sync([] {});
}

}  // namespace velmora
