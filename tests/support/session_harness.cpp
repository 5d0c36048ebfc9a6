#include "support/session_harness.h"

#include "core/channel/secure_channel.h"
#include "support/recording_delegate.h"

namespace velmora {

PhoneOutcome OpenAttempt::finish() {
    if (session) {
        session->close();
    } else if (computerEnd) {
        computerEnd->close();
    }
    return phone.valid() ? phone.get() : PhoneOutcome{};
}

std::string OpenAttempt::errorText() const {
    return describe(error);
}

OpenAttempt openSession(SimulatedPhone& phone, const Identity& computer, PeerStore& store,
                        const OpenOptions& options) {
    OpenAttempt attempt;
    try {
        LinkEnds ends = makeLink(options.link);
        attempt.computerEnd = ends.computer;
        if (options.onConnected) options.onConnected(ends.computer);
        attempt.phone = phone.serveAsync(ends.phone);
        auto prompt = [&attempt, accept = options.acceptCode](const Peer&, const std::string& code) {
            attempt.codeShown = code;
            return accept;
        };
        attempt.session = LinkSession::open(SecureChannel::connectAsClient(ends.computer), computer, store,
                                            options.expected, options.userInitiated, prompt);
    } catch (...) {
        attempt.error = std::current_exception();
    }
    return attempt;
}

Peer peerOf(const SimulatedPhone& phone, const std::string& name, const std::string& platform) {
    return Peer{phone.id(), phone.identity().publicX963(), name, platform};
}

}  // namespace velmora
