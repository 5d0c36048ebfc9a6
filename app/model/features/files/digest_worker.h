#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/model/features/files/sha256_stream.h"
#include "core/bytes.h"

namespace velmora {

// A running SHA-256 computed on a thread of its own from blocks handed over whole, so a file being hashed
// is read while the block before is hashed. At most kBlocksAhead blocks wait, after which the owner waits
// for the hash to catch up.
//
// Threads: every call from one owner thread at a time; the worker is started by the first block and
// joined by finishHex() or the destructor (which drops what still waits). When no thread can be started the
// owner hashes the blocks itself. Failures of the cryptographic library on the worker are thrown by
// finishHex().
class DigestWorker {
  public:
    static constexpr std::size_t kBlock = 1048576;
    static constexpr std::size_t kBlocksAhead = 4;

    DigestWorker() = default;
    ~DigestWorker();
    DigestWorker(const DigestWorker&) = delete;
    DigestWorker& operator=(const DigestWorker&) = delete;

    // Hands `block` over whole, without a copy: it is hashed after the blocks before it.
    void update(Bytes block);
    // An empty block (capacity kBlock) to fill for update(): one the worker is done with, or a new one.
    Bytes spareBlock();
    // The digest of everything fed, as 64 lower-case hex digits, once the worker has hashed it all; the
    // digest is spent afterwards.
    std::string finishHex();

  private:
    void pass(Bytes block);
    void run();
    // Ends the worker once it has hashed what waits, or at once with `dropWaiting`.
    void stop(bool dropWaiting) noexcept;

    bool inline_ = false;  // owner thread only: no worker could be started, the owner hashes

    std::mutex mutex_;               // guards the fields below
    std::condition_variable ready_;  // the worker waits for a block or the end
    std::condition_variable room_;   // the owner waits for a free block
    std::vector<Bytes> full_;        // handed over, oldest first
    std::vector<Bytes> spare_;       // hashed, to be filled again
    bool ending_ = false;
    bool workerWaiting_ = false;
    std::exception_ptr failure_;

    Sha256Stream hasher_;  // the worker's while it runs; the owner's after the join
    std::thread worker_;
};

}  // namespace velmora
