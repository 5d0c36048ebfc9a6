#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/session/session_delegate.h"

namespace velmora {

// One report of a running session, as the delegate received it.
struct SessionEvent {
    enum class Kind { control, video, audio, file, close };
    Kind kind;
    nlohmann::json message;  // control
    Bytes bytes;             // video, audio, file
    std::exception_ptr error;
    std::thread::id thread;
};

// A delegate that keeps every report in order and lets a test wait for them. Reports arrive on the
// session's loop thread; the readers run on the test's thread; `mutex_` guards the list.
class RecordingDelegate : public SessionDelegate {
  public:
    // Called on the loop thread for each control message, after it is recorded (a test's reply hook).
    std::function<void(LinkSession&, const nlohmann::json&)> onControl;

    void didReceiveControl(LinkSession& session, const nlohmann::json& message) override;
    void didReceiveVideo(LinkSession& session, ByteView packet) override;
    void didReceiveAudio(LinkSession& session, ByteView packet) override;
    void didReceiveFile(LinkSession& session, ByteView chunk) override;
    void sessionDidClose(LinkSession& session, std::exception_ptr error) override;

    std::vector<SessionEvent> events() const;
    // Waits until the close has been reported; false when `timeout` passed first.
    bool waitForClose(std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    // Waits until at least `count` reports have arrived.
    bool waitForEvents(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    int closeCount() const;
    // The what() text of the error the close carried; nullopt for a quiet close or none yet.
    std::optional<std::string> closeError() const;

  private:
    void add(SessionEvent event);
    void addBytes(SessionEvent::Kind kind, ByteView bytes);

    mutable std::mutex mutex_;  // guards events_
    mutable std::condition_variable changed_;
    std::vector<SessionEvent> events_;
};

// The what() text of an exception_ptr ("" for null, "?" for something that is no std::exception).
std::string describe(const std::exception_ptr& error);

}  // namespace velmora
