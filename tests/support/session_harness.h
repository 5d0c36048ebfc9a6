#pragma once

#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "core/identity/identity.h"
#include "core/identity/peer_store.h"
#include "core/session/link_session.h"
#include "support/simulated_phone.h"
#include "support/test_links.h"

namespace velmora {

struct OpenOptions {
    LinkKind link = LinkKind::socketPair;
    std::optional<std::string> expected;
    bool userInitiated = true;
    // The computer user's answer to the code; the code shown is kept in the attempt.
    bool acceptCode = true;
    // Given the computer's transport before the opening starts, e.g. to close it from another thread.
    std::function<void(std::shared_ptr<Transport>)> onConnected;
};

// One opening of a session against the simulated phone, the phone answering on a thread of its own.
struct OpenAttempt {
    std::unique_ptr<LinkSession> session;  // set when the opening succeeded
    std::exception_ptr error;              // set when it failed
    std::shared_ptr<Transport> computerEnd;
    std::future<PhoneOutcome> phone;
    std::optional<std::string> codeShown;  // the code the computer's prompt was given

    // Closes the computer's side (the session, or the bare transport after a failure) and waits for the
    // phone to finish.
    PhoneOutcome finish();
    std::string errorText() const;
};

// Connects, runs the channel handshake and LinkSession::open on the calling thread. Never throws.
OpenAttempt openSession(SimulatedPhone& phone, const Identity& computer, PeerStore& store,
                        const OpenOptions& options = {});

// The Peer the computer should store for this phone.
Peer peerOf(const SimulatedPhone& phone, const std::string& name = "Celular Simulado",
            const std::string& platform = "android");

}  // namespace velmora
