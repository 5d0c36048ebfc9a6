#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/companion/companion_phone.h"
#include "support/session_harness.h"
#include "support/wait_until.h"

namespace velmora::test {

// The computer's end of a session with the companion phone, as bare as the link allows: it writes down
// every control message and every video, sound and file record in arrival order. Reports arrive on the
// session's loop thread; tests read and wait on theirs; `mutex_` guards the lists.
class ComputerEnd : public SessionDelegate {
  public:
    struct Record {
        std::string kind;  // "control", "video", "audio", "file"
        nlohmann::json message;
        Bytes bytes;
    };

    void didReceiveControl(LinkSession&, const nlohmann::json& m) override { add({"control", m, {}}); }
    void didReceiveVideo(LinkSession&, ByteView p) override { add({"video", {}, Bytes(p.begin(), p.end())}); }
    void didReceiveAudio(LinkSession&, ByteView p) override { add({"audio", {}, Bytes(p.begin(), p.end())}); }
    void didReceiveFile(LinkSession&, ByteView p) override { add({"file", {}, Bytes(p.begin(), p.end())}); }
    void sessionDidClose(LinkSession&, std::exception_ptr) override { add({"close", {}, {}}); }

    std::vector<Record> records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }
    // Index of the first control message of type `t` at `from` or later, waiting for it.
    std::optional<std::size_t> waitControl(const std::string& t, std::size_t from = 0) const {
        std::optional<std::size_t> found;
        waitFor([&] {
            for (std::size_t i = from; i < records_.size(); ++i)
                if (records_[i].kind == "control" && records_[i].message.value("t", "") == t)
                    return found = i, true;
            return false;
        });
        return found;
    }
    bool waitSize(std::size_t count) const {
        return waitFor([&] { return records_.size() >= count; });
    }
    bool waitCount(const std::string& kind, std::size_t count) const {
        return waitFor([&] {
            return static_cast<std::size_t>(std::count_if(records_.begin(), records_.end(),
                                                          [&](const Record& r) { return r.kind == kind; })) >=
                   count;
        });
    }

  private:
    bool waitFor(const std::function<bool()>& done) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(2), done);
    }
    void add(Record r) {
        {
            std::lock_guard lock(mutex_);
            records_.push_back(std::move(r));
        }
        changed_.notify_all();
    }
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Record> records_;
};

// A paired session between a computer and the companion phone, its receive loop on a thread of its own.
struct Connected {
    explicit Connected(companion::CompanionPhone& phone) {
        attempt = openSession(phone.phone(), computer, store);
        if (!attempt.session) {
            ADD_FAILURE() << "the session did not open: " << attempt.errorText();
            return;
        }
        loop = std::thread([this] { attempt.session->run(end); });
        EXPECT_TRUE(phone.waitForSession(120));
        // The phone's greeting (caps, then status) is in before a test sends anything.
        EXPECT_TRUE(end.waitControl("status"));
    }
    ~Connected() {
        if (attempt.session) attempt.session->close();
        if (loop.joinable()) loop.join();
        attempt.finish();
    }
    LinkSession& session() { return *attempt.session; }

    MemoryPeerStore store;
    SoftwareIdentity computer{"Computador de Teste", "linux"};
    OpenAttempt attempt;
    ComputerEnd end;
    std::thread loop;
};

}  // namespace velmora::test
