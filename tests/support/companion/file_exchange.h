#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/bytes.h"
#include "support/simulated_phone.h"

namespace velmora::companion {

// A file the computer sent, once its last byte arrived (or the transfer failed).
struct ReceivedFile {
    std::uint32_t tid = 0;
    std::string name;  // as offered
    std::uint64_t size = 0;
    bool ok = false;    // every byte arrived and the digest matched
    std::string error;  // "checksum_mismatch" or "write_failed" when not ok
    Bytes bytes;        // the content, when kept in memory
    std::optional<std::filesystem::path> savedAs;
};

// How one of the phone's own sends ended: "sent", "rejected", "failed" (file.done not ok), "no_reply",
// "unreadable", "no_session".
struct SentFile {
    std::filesystem::path path;
    std::uint32_t tid = 0;
    std::string outcome;
};

// Files both ways, phone side. Computer to phone: the "file.offer" is accepted (or refused when told to),
// the chunks of channel 4 (4-byte big-endian transfer id, then bytes) are appended and hashed, and once the
// announced size is in, the SHA-256 decides "file.done" ok or "checksum_mismatch". Phone to computer: odd
// transfer ids, "file.offer" with name, size and digest, then 64 KiB chunks after "file.accept", then the
// wait for "file.done". Threads: the offer, record and answer entry points on the phone's receive thread;
// send() on any thread (it blocks until its files ended); `mutex_` guards every table.
class FileExchange {
  public:
    struct Settings {
        bool refuse = false;
        std::optional<std::filesystem::path> saveDir;  // where received files go; else kept in memory
        double answerSeconds = 30, doneSeconds = 60;
        std::function<void(const std::string&)> say = {};
    };
    explicit FileExchange(Settings settings);
    ~FileExchange();

    void setRefuse(bool refuse);
    std::vector<nlohmann::json> onOffer(const nlohmann::json& offer);
    std::vector<nlohmann::json> onRecord(ByteView payload);
    void onAnswer(const nlohmann::json& answer);  // "file.accept", "file.reject", "file.done"
    void sessionEnded();

    // Offers every file at once, each on its own thread, and waits until each has ended.
    std::vector<SentFile> send(const std::shared_ptr<PhoneLink>& link,
                               const std::vector<std::filesystem::path>& files);
    std::vector<ReceivedFile> received() const;

  private:
    struct Incoming;
    struct Waiting {
        std::optional<bool> accepted;
        std::optional<bool> done;
    };
    SentFile sendOne(const std::shared_ptr<PhoneLink>& link, const std::filesystem::path& file);
    nlohmann::json finish(Incoming& in);
    void say(const std::string& line) const;

    Settings settings_;
    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable answered_;
    std::map<std::uint32_t, std::unique_ptr<Incoming>> incoming_;
    std::map<std::uint32_t, Waiting> waiting_;
    std::vector<ReceivedFile> received_;
    std::uint32_t nextTid_ = 1;
    std::uint64_t sessionNumber_ = 0;  // a sender waiting across a session's end gives up
};

}  // namespace velmora::companion
