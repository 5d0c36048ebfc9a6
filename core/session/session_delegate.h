#pragma once

#include <exception>

#include <nlohmann/json.hpp>

#include "core/bytes.h"

namespace velmora {

class LinkSession;

// How a running session reports. Every call comes from the thread inside LinkSession::run, one at a
// time, in the order the records arrived; a delegate that needs another thread hops there itself.
// Byte views are valid only for the duration of the call.
class SessionDelegate {
  public:
    virtual ~SessionDelegate() = default;

    virtual void didReceiveControl(LinkSession& session, const nlohmann::json& message) = 0;
    virtual void didReceiveVideo(LinkSession& session, ByteView packet) = 0;
    // Most delegates ignore the phone's sound.
    virtual void didReceiveAudio(LinkSession& session, ByteView packet) {
        (void)session;
        (void)packet;
    }
    // The payload as received: 4-byte big-endian transfer id, then the chunk's data.
    virtual void didReceiveFile(LinkSession& session, ByteView chunk) = 0;
    // Called once when the loop has ended and the transport is closed. A null error means the session
    // was closed locally.
    virtual void sessionDidClose(LinkSession& session, std::exception_ptr error) = 0;
};

}  // namespace velmora
