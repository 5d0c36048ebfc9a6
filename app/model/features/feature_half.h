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

    // Start-up, real mode only, in this order among the other steps.
    virtual void refreshPermissions() {}
    virtual void setUpNotifications() {}
    virtual void clipboardTick() {}  // every 0.6 s while the model lives

    // Whether a file transfer is pending or running.
    virtual bool hasTransferWork() const { return false; }
    // The live session ended: drop the transfers (waking their senders), the speed test, the mirroring and
    // its sound; keep the mirror window for the reconnect when `waitForReconnect`, else close it.
    virtual void sessionEnded(bool waitForReconnect) { (void)waitForReconnect; }
    // A notification on the computer's desktop.
    virtual void notifyLocal(const std::string& title, const std::string& body) {
        (void)title;
        (void)body;
    }
};

}  // namespace velmora
