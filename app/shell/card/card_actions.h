#pragma once

#include <filesystem>

#include "app/model/ports/install_state.h"

namespace velmora {

// What the connected card's controls do: each runs one operation and returns at once (picking files runs the
// desktop's modal file picker first). Results come back through the state the card reads. Main thread only.
class CardActions {
  public:
    virtual ~CardActions() = default;
    // Whether the live Bluetooth link could climb to a faster one now.
    virtual bool fastLinkAvailable() const = 0;
    virtual void switchToFastLink() = 0;
    virtual void startMirror() = 0;
    virtual void stopMirror() = 0;
    virtual void pickAndSendFiles() = 0;
    virtual void sendClipboard() = 0;
    virtual void toggleRing() = 0;
    virtual void disconnect() = 0;
    virtual void reveal(const std::filesystem::path& file) = 0;
    virtual void open(const std::filesystem::path& file) = 0;
    virtual void openFolder() = 0;
    // The companion-app installer: its install, whether a ready phone is on the cable, and the update
    // button's install on the first such phone (nothing when the cable has emptied meanwhile).
    virtual InstallStatus installStatus() const = 0;
    virtual bool cablePhonePresent() const = 0;
    virtual void installUpdate() = 0;
};

}  // namespace velmora
