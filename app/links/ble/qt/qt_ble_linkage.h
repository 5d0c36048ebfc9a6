#pragma once

#include <memory>
#include <mutex>

#include "app/links/ble/ble_central.h"

namespace velmora {

// How the Qt side reaches the central without holding a raw pointer to it across threads: the radio and every
// peripheral's Qt half share this, and the radio clears it before the central goes (QtBleStack's order), so a
// Qt object that outlives the central reports to nobody instead of to freed memory. `mutex` guards `central`
// and is held while a report is posted, so the central cannot go in the middle of one.
struct QtBleLinkage {
    std::mutex mutex;
    BleCentral* central = nullptr;

    // Runs `report` on the central, unless it is gone. Reports only post to the central's queue: never long.
    template <class F>
    void toCentral(F report) {
        std::lock_guard lock(mutex);
        if (central) report(*central);
    }
};

}  // namespace velmora
