#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/bytes.h"

namespace velmora {

// A blocking byte pipe to the phone. The secure channel reads, writes and closes through this only, so it
// never knows which medium carries the bytes. All three calls block the calling thread; protocol code runs
// them on a thread of its own. One reader and one writer at a time (they may be two threads); close() from
// any thread.
class Transport {
  public:
    virtual ~Transport() = default;

    // Exactly n bytes, or throws (CXPError::closed when the pipe ends first).
    virtual Bytes readExactly(std::size_t n) = 0;
    // Exactly out.size() bytes into `out`, or throws as readExactly(). A transport that can read straight
    // into the caller's bytes overrides this; the default goes through readExactly().
    virtual void readInto(std::span<std::uint8_t> out) {
        const Bytes got = readExactly(out.size());
        std::copy(got.begin(), got.end(), out.begin());
    }
    // Returns once every byte has been handed to the connection, or throws.
    virtual void write(ByteView data) = 0;
    // Ends the connection: pending and later reads and writes fail. Never throws; calling it again does
    // nothing.
    virtual void close() noexcept = 0;
};

// A transport that must first be connected.
class ConnectableTransport : public Transport {
  public:
    // Returns once the connection is usable, or throws; CXPError::timedOut when `timeoutSeconds` pass first.
    virtual void connect(double timeoutSeconds) = 0;
};

}  // namespace velmora
