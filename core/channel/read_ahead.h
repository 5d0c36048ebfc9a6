#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <thread>

#include "core/transport/transport.h"

namespace velmora {

// A thread of its own that reads the body of a large incoming record into the record's buffer ahead of the
// thread that opens it, a piece at a time, publishing how far it got: the opener works on bytes that have
// just arrived while the next ones are being read.
//
// Threads: start(), waitBeyond() and finish() from one receiving thread at a time; the reader thread reads.
// The buffer given to start() belongs to the reader until finish() returns. The reader starts in the
// constructor and is joined by the destructor, which must not run while a record is being read.
class ReadAhead {
  public:
    ReadAhead(Transport& transport, std::size_t pieceSize);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts filling `into` from the transport.
    void start(std::span<std::uint8_t> into);
    // Waits until more than `have` bytes are in, or all of them, and returns how many are in. Once nothing
    // more can come, throws the read's failure.
    std::size_t waitBeyond(std::size_t have);
    // Waits until the reader is done with the buffer: all of it read, or the read failed.
    void finish() noexcept;

  private:
    void run();

    Transport& transport_;
    const std::size_t pieceSize_;

    std::mutex mutex_;                 // guards the fields below
    std::condition_variable toRead_;   // the reader waits for a buffer or the end
    std::condition_variable arrived_;  // the opener waits for bytes
    std::span<std::uint8_t> into_;
    std::size_t filled_ = 0;
    bool reading_ = false;  // a buffer is the reader's
    bool openerWaiting_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;

    std::thread reader_;  // last: started once every field above is ready
};

}  // namespace velmora
