#include "support/recording_delegate.h"

#include <algorithm>

namespace velmora {

void RecordingDelegate::didReceiveControl(LinkSession& session, const nlohmann::json& message) {
    add({SessionEvent::Kind::control, message, {}, nullptr, std::this_thread::get_id()});
    if (onControl) onControl(session, message);
}

void RecordingDelegate::didReceiveVideo(LinkSession&, ByteView packet) {
    addBytes(SessionEvent::Kind::video, packet);
}

void RecordingDelegate::didReceiveAudio(LinkSession&, ByteView packet) {
    addBytes(SessionEvent::Kind::audio, packet);
}

void RecordingDelegate::didReceiveFile(LinkSession&, ByteView chunk) {
    addBytes(SessionEvent::Kind::file, chunk);
}

void RecordingDelegate::sessionDidClose(LinkSession&, std::exception_ptr error) {
    add({SessionEvent::Kind::close, {}, {}, std::move(error), std::this_thread::get_id()});
}

void RecordingDelegate::addBytes(SessionEvent::Kind kind, ByteView bytes) {
    add({kind, {}, Bytes(bytes.begin(), bytes.end()), nullptr, std::this_thread::get_id()});
}

void RecordingDelegate::add(SessionEvent event) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    changed_.notify_all();
}

std::vector<SessionEvent> RecordingDelegate::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

bool RecordingDelegate::waitForClose(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return std::any_of(events_.begin(), events_.end(),
                           [](const SessionEvent& e) { return e.kind == SessionEvent::Kind::close; });
    });
}

bool RecordingDelegate::waitForEvents(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return events_.size() >= count; });
}

int RecordingDelegate::closeCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(events_.begin(), events_.end(), [](const SessionEvent& e) {
        return e.kind == SessionEvent::Kind::close;
    }));
}

std::optional<std::string> RecordingDelegate::closeError() const {
    std::lock_guard lock(mutex_);
    for (const auto& e : events_) {
        if (e.kind == SessionEvent::Kind::close && e.error) return describe(e.error);
    }
    return std::nullopt;
}

std::string describe(const std::exception_ptr& error) {
    if (!error) return "";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "?";
    }
}

}  // namespace velmora
