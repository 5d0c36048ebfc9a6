#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/model/features/files/sha256_stream.h"
#include "core/bytes.h"

namespace velmora {

// The SHA-256 of a file being written, read back and hashed on a thread of its own as it grows, so the
// writing thread (an incoming file's receive thread) pays neither the hash nor a copy for it. The bytes
// hashed are the ones in the file, read at their offsets; the worker wakes about once per kBlock written.
//
// Threads: written() and finishHex() from the writing thread; the worker starts with the first written()
// and is joined by finishHex() or the destructor (which does not wait for the rest to be hashed). The
// descriptor must be readable and outlive this object.
class WrittenDigest {
  public:
    static constexpr std::int64_t kBlock = 1048576;

    explicit WrittenDigest(int fd) : fd_(fd) {}
    ~WrittenDigest();
    WrittenDigest(const WrittenDigest&) = delete;
    WrittenDigest& operator=(const WrittenDigest&) = delete;

    // The first `total` bytes of the file are written.
    void written(std::int64_t total);
    // Once every written byte is hashed: the digest as 64 lower-case hex digits; absent when the file could
    // not be read back whole. Failures of the cryptographic library throw CryptoError.
    std::optional<std::string> finishHex();

  private:
    void run();
    // Worker: hashes [hashed_, until); false on a read error.
    bool hashUpTo(std::int64_t until);
    void stop(bool abandon) noexcept;

    const int fd_;
    bool inline_ = false;  // writer only: no worker could be started, finishHex() hashes it all

    std::mutex mutex_;  // guards the fields below
    std::condition_variable more_;
    std::int64_t written_ = 0;
    std::int64_t wakeAt_ = 0;  // the worker sleeps until this much is written (0: it is awake)
    bool ending_ = false;
    std::atomic<bool> abandoned_{false};  // also read by the worker between blocks

    // The worker's while it runs; the writer's after the join.
    Sha256Stream hasher_;
    std::int64_t hashed_ = 0;
    Bytes buffer_;
    bool readFailed_ = false;
    std::exception_ptr failure_;
    std::thread worker_;
};

}  // namespace velmora
