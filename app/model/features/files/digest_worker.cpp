#include "app/model/features/files/digest_worker.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace velmora {

// A digest no one will read: what waits is dropped, not hashed.
DigestWorker::~DigestWorker() {
    stop(true);
}

void DigestWorker::update(Bytes block) {
    if (!block.empty()) pass(std::move(block));
}

Bytes DigestWorker::spareBlock() {
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            Bytes block = std::move(spare_.back());
            spare_.pop_back();
            block.clear();
            return block;
        }
    }
    Bytes block;
    block.reserve(kBlock);
    return block;
}

// Owner: the block goes to the worker, once fewer than kBlocksAhead wait.
void DigestWorker::pass(Bytes block) {
    if (!worker_.joinable() && !inline_) {
        try {
            worker_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            inline_ = true;  // no thread to be had: hashed here, slower but whole
        }
    }
    if (inline_) return hasher_.update(block);
    bool wake = false;
    {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [&] { return full_.size() < kBlocksAhead || failure_; });
        full_.push_back(std::move(block));
        wake = workerWaiting_;
    }
    if (wake) ready_.notify_one();
}

void DigestWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        workerWaiting_ = true;
        ready_.wait(lock, [&] { return !full_.empty() || ending_; });
        workerWaiting_ = false;
        if (full_.empty()) return;
        Bytes block = std::move(full_.front());
        full_.erase(full_.begin());
        lock.unlock();
        room_.notify_one();
        try {
            if (!failure_) hasher_.update(block);
        } catch (...) {
            lock.lock();
            failure_ = std::current_exception();
            room_.notify_one();
            continue;
        }
        lock.lock();
        if (spare_.size() < kBlocksAhead) spare_.push_back(std::move(block));
    }
}

void DigestWorker::stop(bool dropWaiting) noexcept {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        if (dropWaiting) full_.clear();
    }
    ready_.notify_one();
    worker_.join();
}

std::string DigestWorker::finishHex() {
    stop(false);
    if (failure_) std::rethrow_exception(failure_);
    return hasher_.finishHex();
}

}  // namespace velmora
