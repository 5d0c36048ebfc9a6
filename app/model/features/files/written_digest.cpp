#include "app/model/features/files/written_digest.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace velmora {

WrittenDigest::~WrittenDigest() {
    stop(true);
}

void WrittenDigest::written(std::int64_t total) {
    if (!worker_.joinable() && !inline_) {
        try {
            worker_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            inline_ = true;  // no thread to be had: the file is hashed at the end instead
        }
    }
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        written_ = total;
        wake = wakeAt_ > 0 && total >= wakeAt_;
    }
    if (wake) more_.notify_one();
}

void WrittenDigest::run() {
    for (;;) {
        std::int64_t until = 0;
        bool last = false;
        {
            std::unique_lock lock(mutex_);
            wakeAt_ = hashed_ + kBlock;
            more_.wait(lock, [&] { return written_ >= wakeAt_ || ending_; });
            wakeAt_ = 0;
            if (abandoned_.load()) return;
            until = written_;
            last = ending_;
        }
        try {
            if (!hashUpTo(until)) return;
        } catch (...) {
            failure_ = std::current_exception();
            return;
        }
        if (last && hashed_ >= until) return;
    }
}

bool WrittenDigest::hashUpTo(std::int64_t until) {
    if (buffer_.empty()) buffer_.resize(static_cast<std::size_t>(kBlock));
    while (hashed_ < until && !abandoned_.load()) {
        const auto want = static_cast<std::size_t>(std::min(until - hashed_, kBlock));
        const ssize_t n = ::pread(fd_, buffer_.data(), want, hashed_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            readFailed_ = true;
            return false;
        }
        hasher_.update(ByteView(buffer_).first(static_cast<std::size_t>(n)));
        hashed_ += n;
    }
    return true;
}

void WrittenDigest::stop(bool abandon) noexcept {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        abandoned_.store(abandon);
    }
    more_.notify_one();
    worker_.join();
}

std::optional<std::string> WrittenDigest::finishHex() {
    stop(false);
    if (failure_) std::rethrow_exception(failure_);
    // After the join the writer owns the rest: what the worker did not reach, or all of it when inline.
    if (readFailed_ || !hashUpTo(written_)) return std::nullopt;
    return hasher_.finishHex();
}

}  // namespace velmora
