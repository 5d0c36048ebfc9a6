#include "core/session/session_runner.h"

#include <atomic>
#include <exception>

namespace velmora {

// The session and what the loop thread needs of it, kept alive by whichever of runner and thread ends last.
// It stands between the session and the owner's delegate: reports pass only while the runner lives, and
// the close is held back until LinkSession::run has returned.
struct SessionRunner::State final : SessionDelegate {
    State(std::unique_ptr<LinkSession> s, SessionDelegate& d) : session(std::move(s)), delegate(d) {}

    void didReceiveControl(LinkSession& s, const nlohmann::json& message) override {
        if (!dropped.load()) delegate.didReceiveControl(s, message);
    }
    void didReceiveVideo(LinkSession& s, ByteView packet) override {
        if (!dropped.load()) delegate.didReceiveVideo(s, packet);
    }
    void didReceiveAudio(LinkSession& s, ByteView packet) override {
        if (!dropped.load()) delegate.didReceiveAudio(s, packet);
    }
    void didReceiveFile(LinkSession& s, ByteView chunk) override {
        if (!dropped.load()) delegate.didReceiveFile(s, chunk);
    }
    void sessionDidClose(LinkSession&, std::exception_ptr e) override { error = std::move(e); }

    void loop() {
        session->run(*this);
        if (!dropped.load()) delegate.sessionDidClose(*session, error);
    }

    const std::unique_ptr<LinkSession> session;
    SessionDelegate& delegate;
    std::atomic<bool> dropped{false};  // set once by the runner's destructor, read by the loop thread
    std::exception_ptr error;          // loop thread only
};

SessionRunner::SessionRunner(std::unique_ptr<LinkSession> session, SessionDelegate& delegate)
    : state_(std::make_shared<State>(std::move(session), delegate)),
      thread_([state = state_] { state->loop(); }) {}

SessionRunner::~SessionRunner() {
    state_->dropped.store(true);
    state_->session->close();
    // A thread cannot join itself: dropped from one of its own reports, the thread ends on its own, holding
    // the state until then.
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

LinkSession& SessionRunner::session() const {
    return *state_->session;
}

void SessionRunner::close() {
    state_->session->close();
}

}  // namespace velmora
