#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "core/bytes.h"
#include "core/posix/unique_fd.h"

namespace velmora {

// The pump's sizes and its writers' deadline.
struct L2capLimits {
    std::size_t readChunk = 16384;    // at least the channel's receive MTU: a packet is read whole
    std::size_t sendMtu = 8192;       // the channel's send MTU; packets are min(8192, this)
    std::size_t queueLimit = 131072;  // writers wait while more than this is queued
    double writeDeadline = 20.0;      // seconds a writer waits for room before timing out
};

// Blocking readExactly/write over one L2CAP channel: a SOCK_SEQPACKET socket whose connect has been started
// (or has finished); a stream socket works as well. A thread "tessel.l2cap" polls the socket: it reports the
// open once the connect has completed, reads whatever arrives into the incoming buffer and sends the outgoing
// buffer in packets. Writers wait while more than `queueLimit` bytes are queued; one write is queued whole,
// so the queue may pass the limit by one write.
//
// Threads: start() and the callbacks' setting by the owner before start(); readExactly on one reader thread,
// write on one writer thread, close from any thread. onOpen runs on the pump thread; onClosed on whichever
// thread closed the pump (the pump thread for socket errors and end of stream). The pump must be owned by a
// shared_ptr: its thread holds it until the loop ends, so an owner that lets go inside a callback is safe.
class L2capPump : public std::enable_shared_from_this<L2capPump> {
  public:
    using Limits = L2capLimits;
    static constexpr std::size_t maxPacket = 8192;
    // The channel's MTUs once its connect has completed (send, receive); 0 leaves the limit as it is.
    using MtuProbe = std::function<std::pair<std::size_t, std::size_t>(int socket)>;

    explicit L2capPump(UniqueFd socket, Limits limits = {}, MtuProbe probe = {});
    ~L2capPump();
    L2capPump(const L2capPump&) = delete;
    L2capPump& operator=(const L2capPump&) = delete;

    std::function<void()> onOpen;
    std::function<void(std::exception_ptr)> onClosed;

    void start();
    // Exactly n bytes. Throws the first reason of the close (CXPError::closed when none) once the pump has
    // ended with fewer than n bytes buffered; bytes received before the end stay readable.
    Bytes readExactly(std::size_t n);
    // Queues `data` whole; returns once queued, not once sent. Throws CXPError::timedOut when the queue stays
    // over the limit for `writeDeadline` (nothing of `data` is queued then), the close reason after close.
    void write(ByteView data);
    // Ends the pump once; later calls do nothing. Unsent bytes are dropped.
    void close(std::exception_ptr error);
    std::size_t queued() const;

  private:
    void run();
    bool finishOpen();
    void receive();
    void drain();
    void wake();
    [[noreturn]] void throwFailure();

    const UniqueFd socket_;
    const UniqueFd wakeFd_;  // an eventfd: writes and close wake the poll at once
    Limits limits_;          // settled by the pump thread before the open is reported
    const MtuProbe probe_;
    bool packets_ = false;  // SOCK_SEQPACKET (an L2CAP channel); tests may use a stream socket too
    std::thread thread_;
    bool opened_ = false;  // pump thread only

    mutable std::mutex mutex_;  // guards inBuf_, outBuf_, outSent_, closed_, failure_
    std::condition_variable changed_;
    Bytes inBuf_;
    Bytes outBuf_;
    std::size_t outSent_ = 0;  // bytes at the front of outBuf_ already sent
    bool closed_ = false;
    std::exception_ptr failure_;
};

}  // namespace velmora
