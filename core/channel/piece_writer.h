#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "core/bytes.h"
#include "core/transport/transport.h"

namespace velmora {

// A thread of its own that writes the pieces of outgoing records while the sending thread seals the next
// ones, so that sealing and the socket copy overlap. The pieces pass through a ring of kSlots buffers: the
// sender fills a free one and submits it, the writer writes submitted ones in order and frees them.
//
// Threads: acquire(), submit() and drain() from one sending thread at a time (the channel's write lock);
// the writer thread writes, and on a failed write calls `onFailure` with the error before it drops what
// waits, so the owner can keep it as first and close the transport. The writer starts in the constructor
// and is joined by the destructor, which must not run while a sender is inside a call.
class PieceWriter {
  public:
    static constexpr std::size_t kSlots = 8;

    PieceWriter(Transport& transport, std::size_t pieceSize,
                std::function<void(std::exception_ptr)> onFailure);
    ~PieceWriter();
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    // A free buffer of pieceSize bytes to fill, waiting while every slot is submitted. Throws the writer's
    // failure, if there was one.
    std::uint8_t* acquire();
    // The first `size` bytes of the acquired buffer go out after every piece submitted before.
    void submit(std::size_t size);
    // Returns once every submitted piece is written, or throws the writer's failure; either way no piece is
    // in flight any more.
    void drain();

  private:
    void run();

    Transport& transport_;
    const std::function<void(std::exception_ptr)> onFailure_;
    std::array<Bytes, kSlots> slots_;
    std::array<std::size_t, kSlots> sizes_{};

    std::mutex mutex_;                 // guards the fields below
    std::condition_variable toWrite_;  // the writer waits for a piece or the end
    std::condition_variable toSeal_;   // the sender waits for a free slot or the last write
    std::uint64_t submitted_ = 0;      // pieces handed over so far
    std::uint64_t written_ = 0;        // pieces written (or dropped after a failure) so far
    bool writerWaiting_ = false;
    bool senderWaiting_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;

    std::thread writer_;  // last: started once every field above is ready
};

}  // namespace velmora
