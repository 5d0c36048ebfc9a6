#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace velmora {

class LinkSession;

// Where the session features (notifications, files, clipboard, mirroring) plug into the connection half.
// Every call comes on the main executor unless it says otherwise; the defaults do nothing, so the
// connection half runs and is tested before the features exist.
class FeatureHalf {
  public:
    virtual ~FeatureHalf() = default;

    // The live session ended: drop the transfers (waking their senders), the speed test, the mirroring and
    // its sound; keep the mirror window for the reconnect when `waitForReconnect`, else close it.
    virtual void sessionEnded(bool waitForReconnect) { (void)waitForReconnect; }
};

}  // namespace velmora
