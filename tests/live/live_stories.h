#pragma once

// Steps several stories share.
#include "live/live_app.h"
#include "live/live_phone.h"

namespace velmora::live {

// Types the phone's address in the preferences and connects; the pairing dialog, if it shows, is answered
// by the application's own switch. True once the card shows the connected phone.
inline bool connectTyped(LiveApp& app, LivePhone& phone) {
    if (!until([&] { return app.panel().isVisible(); })) return false;
    app.connectTo(phone.address());
    return until([&] { return app.connected(); }) &&
           until([&] { return findButton(&app.panel(), tr("common.disconnect")) != nullptr; });
}

}  // namespace velmora::live
