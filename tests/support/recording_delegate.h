#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/session/session_delegate.h"

namespace velmora {

// The what() text of an exception_ptr ("" for null, "?" for something that is no std::exception).
inline std::string describe(const std::exception_ptr& error) {
    if (!error) return "";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "?";
    }
}

// A delegate that writes down every report in order, one line each: a control message as its JSON, bytes
// as the kind and their hex (their count when long), the end as "close" and the error's text if any.
// Reports arrive on the session's loop thread, the readers run on the test's; `mutex_` guards the lists.
class RecordingDelegate : public SessionDelegate {
  public:
    // Called on the loop thread after each control message is written down (a test's reply hook).
    std::function<void(LinkSession&, const nlohmann::json&)> onControl;

    void didReceiveControl(LinkSession& session, const nlohmann::json& message) override {
        const std::string text = message.dump();
        add(text.size() <= 100 ? text : "control " + std::to_string(text.size()) + " bytes");
        if (onControl) onControl(session, message);
    }
    void didReceiveVideo(LinkSession&, ByteView packet) override { add(bytes("video", packet)); }
    void didReceiveAudio(LinkSession&, ByteView packet) override { add(bytes("audio", packet)); }
    void didReceiveFile(LinkSession&, ByteView chunk) override { add(bytes("file", chunk)); }
    void sessionDidClose(LinkSession&, std::exception_ptr error) override {
        add(error ? "close: " + describe(error) : "close");
    }

    std::vector<std::string> story() const {
        std::lock_guard lock(mutex_);
        return story_;
    }
    // The threads the reports came on, in order.
    std::vector<std::thread::id> threads() const {
        std::lock_guard lock(mutex_);
        return threads_;
    }
    // Wait for `count` reports, or for the close; false when the bound passed first. The bound only keeps
    // a broken session from hanging the run: a loaded machine is slow, never this slow.
    bool waitForEvents(std::size_t count) const {
        return waitFor([&] { return story_.size() >= count; });
    }
    bool waitForClose() const {
        return waitFor([&] { return !story_.empty() && story_.back().starts_with("close"); });
    }

  private:
    bool waitFor(const std::function<bool()>& done) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(2), done);
    }
    static std::string bytes(std::string line, ByteView b) {
        if (b.size() > 16) return line + " " + std::to_string(b.size()) + " bytes";
        line += " ";
        for (const std::uint8_t x : b)
            line += {"0123456789abcdef"[x >> 4], "0123456789abcdef"[x & 15]};
        return line;
    }
    void add(std::string line) {
        {
            std::lock_guard lock(mutex_);
            story_.push_back(std::move(line));
            threads_.push_back(std::this_thread::get_id());
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> story_;
    std::vector<std::thread::id> threads_;
};

}  // namespace velmora
