#include "app/model/features/files/transfer_tables.h"

namespace velmora {

void TransferWait::settle(bool signalled) {
    {
        std::lock_guard guard(mutex_);
        if (!outcome_) outcome_ = signalled;
    }
    changed_.notify_all();
}

void TransferWait::signal() {
    settle(true);
}

void TransferWait::expire() {
    settle(false);
}

bool TransferWait::wait() {
    std::unique_lock guard(mutex_);
    changed_.wait(guard, [this] { return outcome_.has_value(); });
    return *outcome_;
}

std::uint32_t followingTid(std::uint32_t tid) {
    return tid >= 2147483646U ? 2U : tid + 2U;
}

FileTransfers::~FileTransfers() {
    stop();
}

std::pair<std::set<std::uint32_t>, std::int64_t> FileTransfers::incomingSnapshot() const {
    std::lock_guard guard(lock_);
    std::set<std::uint32_t> tids;
    std::int64_t pending = 0;
    for (const auto& [tid, file] : incoming_) {
        tids.insert(tid);
        pending += std::max<std::int64_t>(0, file->remaining());
    }
    return {tids, pending};
}

bool FileTransfers::addIncoming(std::shared_ptr<IncomingFile> file) {
    std::lock_guard guard(lock_);
    return incoming_.emplace(file->offer().tid, std::move(file)).second;
}

std::shared_ptr<IncomingFile> FileTransfers::incoming(std::uint32_t tid, std::uint64_t session) const {
    std::lock_guard guard(lock_);
    const auto it = incoming_.find(tid);
    if (it == incoming_.end() || it->second->session() != session) return nullptr;
    return it->second;
}

bool FileTransfers::takeIncoming(const IncomingFile& file) {
    std::lock_guard guard(lock_);
    const auto it = incoming_.find(file.offer().tid);
    if (it == incoming_.end() || it->second.get() != &file) return false;
    incoming_.erase(it);
    return true;
}

std::vector<std::shared_ptr<IncomingFile>> FileTransfers::takeAllIncoming() {
    std::lock_guard guard(lock_);
    std::vector<std::shared_ptr<IncomingFile>> all;
    for (auto& [tid, file] : incoming_)
        all.push_back(std::move(file));
    incoming_.clear();
    return all;
}

std::uint32_t FileTransfers::takeTid() {
    std::lock_guard guard(lock_);
    // After a wrap, an id still waiting for its answer is not handed out twice.
    while (offerWaits_.contains(nextTid_) || doneWaits_.contains(nextTid_))
        nextTid_ = followingTid(nextTid_);
    const std::uint32_t tid = nextTid_;
    nextTid_ = followingTid(tid);
    return tid;
}

std::optional<FileTransfers::Waits> FileTransfers::registerSend(std::uint32_t tid) {
    Waits waits{std::make_shared<TransferWait>(), std::make_shared<TransferWait>()};
    std::lock_guard guard(lock_);
    if (stopped_) return std::nullopt;
    offerWaits_[tid] = waits.answer;
    doneWaits_[tid] = {waits.done, false};
    return waits;
}

bool FileTransfers::stillOffered(std::uint32_t tid) const {
    std::lock_guard guard(lock_);
    return offerWaits_.contains(tid);
}

bool FileTransfers::doneOk(std::uint32_t tid) const {
    std::lock_guard guard(lock_);
    const auto it = doneWaits_.find(tid);
    return it != doneWaits_.end() && it->second.second;
}

void FileTransfers::forgetSend(std::uint32_t tid) {
    std::lock_guard guard(lock_);
    offerWaits_.erase(tid);
    doneWaits_.erase(tid);
}

void FileTransfers::beginSend() {
    std::lock_guard guard(lock_);
    ++pendingSends_;
}

void FileTransfers::endSend() {
    std::lock_guard guard(lock_);
    --pendingSends_;
}

void FileTransfers::accepted(std::uint32_t tid) {
    std::shared_ptr<TransferWait> wait;
    {
        std::lock_guard guard(lock_);
        if (const auto it = offerWaits_.find(tid); it != offerWaits_.end()) wait = it->second;
    }
    if (wait) wait->signal();
}

void FileTransfers::rejected(std::uint32_t tid) {
    std::shared_ptr<TransferWait> wait;
    {
        std::lock_guard guard(lock_);
        if (const auto it = offerWaits_.find(tid); it != offerWaits_.end()) {
            wait = it->second;
            offerWaits_.erase(it);
        }
    }
    if (wait) wait->signal();
}

void FileTransfers::done(std::uint32_t tid, bool ok) {
    std::shared_ptr<TransferWait> wait;
    {
        std::lock_guard guard(lock_);
        if (const auto it = doneWaits_.find(tid); it != doneWaits_.end()) {
            it->second.second = ok;
            wait = it->second.first;
        }
    }
    if (wait) wait->signal();
}

void FileTransfers::wakeSenders() {
    std::vector<std::shared_ptr<TransferWait>> woken;
    {
        std::lock_guard guard(lock_);
        for (const auto& [tid, wait] : offerWaits_)
            woken.push_back(wait);
        for (const auto& [tid, entry] : doneWaits_)
            woken.push_back(entry.first);
        offerWaits_.clear();
        doneWaits_.clear();
    }
    for (const auto& wait : woken)
        wait->signal();
}

void FileTransfers::stop() {
    {
        std::lock_guard guard(lock_);
        stopped_ = true;
    }
    wakeSenders();
    senders_.stop();
}

bool FileTransfers::hasWork() const {
    std::lock_guard guard(lock_);
    return !incoming_.empty() || !offerWaits_.empty() || !doneWaits_.empty() || pendingSends_ > 0;
}

}  // namespace velmora
