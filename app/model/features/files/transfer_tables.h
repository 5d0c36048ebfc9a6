#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "app/model/connection/attempt_workers.h"
#include "app/model/features/files/incoming_file.h"

namespace velmora {

// What a sending worker waits on: woken once by the phone's answer (or by the session's end), or expired
// by its timer on the main executor; whichever comes first decides, also when the worker looks later.
// Any thread.
class TransferWait {
  public:
    void signal();
    void expire();
    // Blocks until signalled (true) or expired (false).
    bool wait();

  private:
    void settle(bool signalled);

    std::mutex mutex_;  // guards outcome_
    std::condition_variable changed_;
    std::optional<bool> outcome_;
};

// The computer's transfer ids are even, 2 ... 2147483646, then 2 again: the phone reads ids in 1...2^31-1.
std::uint32_t followingTid(std::uint32_t tid);

// The transfer tables of both directions under one mutex: accepted incoming files by id, and the sending
// workers' waits for the phone's answer and for its "file.done". The dispatcher, the receive thread, the
// workers and the main executor all come here; nothing blocks or does I/O while `lock_` is held, and every
// wait is signalled after it is released.
class FileTransfers {
  public:
    explicit FileTransfers(std::filesystem::path folder) : folder_(std::move(folder)) {}
    ~FileTransfers();

    // The received-files folder; fixed for the model's life.
    const std::filesystem::path& folder() const { return folder_; }

    // Incoming. The snapshot gives the active ids and the bytes they still have to write.
    std::pair<std::set<std::uint32_t>, std::int64_t> incomingSnapshot() const;
    // False when the id is taken already.
    bool addIncoming(std::shared_ptr<IncomingFile> file);
    // The transfer `tid` of that session, if it runs.
    std::shared_ptr<IncomingFile> incoming(std::uint32_t tid, std::uint64_t session) const;
    // Takes `file` out of the table; false when it is gone already (aborted or taken by another thread),
    // so that exactly one thread ends each transfer.
    bool takeIncoming(const IncomingFile& file);
    std::vector<std::shared_ptr<IncomingFile>> takeAllIncoming();

    // Outgoing, in the worker's order.
    struct Waits {
        std::shared_ptr<TransferWait> answer;
        std::shared_ptr<TransferWait> done;
    };
    std::uint32_t takeTid();
    // Absent once stopped: the worker ends without offering.
    std::optional<Waits> registerSend(std::uint32_t tid);
    bool stillOffered(std::uint32_t tid) const;  // present after the wake means accepted
    bool doneOk(std::uint32_t tid) const;        // the phone's "ok"; false when gone
    void forgetSend(std::uint32_t tid);
    void beginSend();
    void endSend();
    AttemptWorkers& senders() { return senders_; }

    // The phone's answers, from the dispatcher on the receive thread.
    void accepted(std::uint32_t tid);
    void rejected(std::uint32_t tid);
    void done(std::uint32_t tid, bool ok);

    // The session ended: empties the send tables and wakes every waiting worker (answers first).
    void wakeSenders();
    // Shutdown: no new send, every worker woken and joined. Not from a worker.
    void stop();
    bool hasWork() const;

  private:
    const std::filesystem::path folder_;

    mutable std::mutex lock_;  // guards everything below
    std::map<std::uint32_t, std::shared_ptr<IncomingFile>> incoming_;
    std::map<std::uint32_t, std::shared_ptr<TransferWait>> offerWaits_;
    std::map<std::uint32_t, std::pair<std::shared_ptr<TransferWait>, bool>> doneWaits_;
    std::uint32_t nextTid_ = 2;
    int pendingSends_ = 0;
    bool stopped_ = false;

    AttemptWorkers senders_;  // one thread per file being sent
};

}  // namespace velmora
