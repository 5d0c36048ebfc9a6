#include "core/channel/read_ahead.h"

#include <algorithm>

namespace velmora {

ReadAhead::ReadAhead(Transport& transport, std::size_t pieceSize)
    : transport_(transport), pieceSize_(pieceSize), reader_([this] { run(); }) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    toRead_.notify_one();
    reader_.join();
}

void ReadAhead::start(std::span<std::uint8_t> into) {
    {
        std::lock_guard lock(mutex_);
        into_ = into;
        filled_ = 0;
        failure_ = nullptr;
        reading_ = true;
    }
    toRead_.notify_one();
}

std::size_t ReadAhead::waitBeyond(std::size_t have) {
    std::unique_lock lock(mutex_);
    openerWaiting_ = true;
    arrived_.wait(lock, [&] { return filled_ > have || filled_ == into_.size() || !reading_; });
    openerWaiting_ = false;
    if (filled_ <= have && filled_ < into_.size() && failure_) std::rethrow_exception(failure_);
    return filled_;
}

void ReadAhead::finish() noexcept {
    std::unique_lock lock(mutex_);
    openerWaiting_ = true;
    arrived_.wait(lock, [&] { return !reading_; });
    openerWaiting_ = false;
}

void ReadAhead::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        toRead_.wait(lock, [&] { return stopping_ || reading_; });
        if (!reading_) return;
        const std::span<std::uint8_t> into = into_;
        std::size_t filled = filled_;
        lock.unlock();
        std::exception_ptr failed;
        // Published a piece at a time; the opener is woken only when it waits for one.
        while (filled < into.size() && !failed) {
            const std::size_t n = std::min(pieceSize_, into.size() - filled);
            try {
                transport_.readInto(into.subspan(filled, n));
                filled += n;
            } catch (...) {
                failed = std::current_exception();
            }
            lock.lock();
            filled_ = filled;
            const bool done = failed || filled == into.size();
            if (done) {
                failure_ = failed;
                reading_ = false;
            }
            const bool wake = openerWaiting_;
            if (!done) lock.unlock();
            if (wake) arrived_.notify_one();
        }
        if (into.empty()) {
            lock.lock();
            reading_ = false;
            arrived_.notify_one();
        }
    }
}

}  // namespace velmora
