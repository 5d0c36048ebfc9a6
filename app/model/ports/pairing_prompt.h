#pragma once

#include <string>

#include "core/identity/peer.h"

namespace velmora {

// Asks the user whether both screens show the same six-digit code.
class PairingPrompt {
  public:
    virtual ~PairingPrompt() = default;
    // Called on the connecting thread, never on the main one; blocks until the user answered (the UI shows
    // its dialog on the GUI thread meanwhile). True only for a confirmed code.
    virtual bool confirm(const Peer& peer, const std::string& code) = 0;
    // Refuses the prompt showing now and every later one at once: the program is quitting. Any thread.
    virtual void dismissAll() = 0;
};

}  // namespace velmora
