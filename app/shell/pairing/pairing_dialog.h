#pragma once

#include <string>

namespace velmora::PairingDialog {

// Shows the pairing dialog modally and returns true only when the user confirmed that the codes match. The
// code stays valid for 90 s and Confirm waits 1.5 s (monotonic) before it can be used; nothing closes by
// itself. GUI thread only; the event loop keeps serving the rest of the application meanwhile.
bool run(const std::string& peerName, const std::string& code);

}  // namespace velmora::PairingDialog
