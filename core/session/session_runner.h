#pragma once

#include <memory>
#include <thread>

#include "core/session/link_session.h"
#include "core/session/session_delegate.h"

namespace velmora {

// Owns one opened session and runs its receive loop on a thread of its own, reporting to `delegate` on that
// thread, one report at a time, as LinkSession::run does. The end is reported once, through
// sessionDidClose, after the loop has returned: the delegate may drop the runner right there.
//
// Dropping the runner closes the session and stops every later report. From any other thread it joins the
// loop thread (a report under way finishes first). From the loop thread itself, inside a report, it cannot
// join: the thread keeps its share of the session and is let go; the loop ends without another report and
// the session is destroyed on that thread once the loop has returned. The delegate must outlive the runner,
// and a report must never wait for a thread that may drop the runner (the join would wait for the report).
class SessionRunner {
  public:
    SessionRunner(std::unique_ptr<LinkSession> session, SessionDelegate& delegate);
    ~SessionRunner();
    SessionRunner(const SessionRunner&) = delete;
    SessionRunner& operator=(const SessionRunner&) = delete;

    // The session, for sends and its state (lastRx, peerCaps); any thread, for the runner's life.
    LinkSession& session() const;
    // Ends the session from any thread; the close is reported without an error.
    void close();

  private:
    struct State;
    std::shared_ptr<State> state_;  // shared with the loop thread
    std::thread thread_;
};

}  // namespace velmora
