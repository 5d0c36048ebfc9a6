#pragma once

#include <cstddef>
#include <functional>

#include "core/bytes.h"

namespace velmora::ProcessOutput {

// How many output bytes any caller keeps of one child (the device list, forwards, installs, routes).
inline constexpr std::size_t adbMax = 65536;

// Size of one read from a child's pipe.
inline constexpr std::size_t chunkSize = 16384;

struct Capped {
    Bytes data;              // never more than the cap
    bool truncated = false;  // the child wrote more than the cap in total
};

// Keeps the first `cap` bytes of a stream fed in chunks and notes when the total first passes the cap.
// Shared by readCapped and the process runner's own read loop, so both cut at exactly the same byte.
class CappedBuffer {
  public:
    explicit CappedBuffer(std::size_t cap) : cap_(cap) {}
    // Adds one chunk; true exactly once, on the chunk that first takes the total past the cap.
    bool append(ByteView chunk);
    bool truncated() const { return result_.truncated; }
    Capped take() { return std::move(result_); }

  private:
    std::size_t cap_;
    Capped result_;
};

// Reads `fd` to its end in chunks, keeping at most `cap` bytes. The surplus is read and dropped, so a
// child never stalls on a full pipe. `onExceed` runs once, on this thread, when the total first passes the
// cap. A read error ends reading quietly with what was kept. EINTR is retried, not taken for an error.
Capped readCapped(int fd, std::size_t cap, const std::function<void()>& onExceed);

}  // namespace velmora::ProcessOutput
