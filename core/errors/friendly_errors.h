#pragma once

#include <exception>
#include <optional>
#include <string>

#include "core/errors/cxp_error.h"

namespace velmora::FriendlyErrors {

// One short localised sentence for whatever went wrong. Developer texts (the Portuguese payload of a protocol
// error, a raw refusal code) are never shown. Stateless; callable from any thread, as far as L10n is.

std::string generic();          // anything not recognised
std::string refused();          // the other side refused the connection or the pairing
std::string unreachable();      // the phone or the network cannot be reached
std::string dropped();          // an established connection broke
std::string timeout();          // no answer in time
std::string localNetwork();     // a firewall rule or the Avahi daemon keeps Velmora off the local network
std::string protocolProblem();  // the two sides do not understand each other
std::string unknownCode();      // the phone reported an error code this side does not know
std::string searchFailed();     // the search for phones failed; names the search-again button

// The full user text of a link error: its own sentence for each kind, the phone's refusal code cleaned and
// bounded. text() below uses it where a kind has no shorter sentence.
std::string describe(const CXPError& error);

// The sentence for stored key bytes that are no key: the computer's identity is damaged where it is kept (the
// keyring, or the key file, named where the environment puts it). An identity file that is unsafe or cannot
// be read is told by text(), which names the folder or the file the same way.
std::string identityDamaged();

// The sentence for an error a connection attempt or a session ended with.
std::string text(const std::exception& error);
// The same for a caught exception of any type (a non-standard one reads as generic).
std::string text(const std::exception_ptr& error);

// The sentence for a failed search for phones on the local network.
std::string browseFailure(const std::exception& error);

// The sentence for the phone's mirroring-error message; `message` is shown as it is when there is no code.
std::string mirrorError(const std::optional<std::string>& code, const std::string& message);
// The sentence for the phone's "error" control message; `message` is shown as it is when there is no code.
std::string phoneError(const std::optional<std::string>& code, const std::string& message);

}  // namespace velmora::FriendlyErrors
