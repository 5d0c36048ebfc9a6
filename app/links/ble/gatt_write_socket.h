#pragma once

#include <cstddef>

#include "core/bytes.h"
#include "core/posix/unique_fd.h"

namespace velmora {

// The write side of a characteristic as BlueZ hands it out (GattCharacteristic1.AcquireWrite): a
// SOCK_SEQPACKET socket where each packet becomes one write without response, and the ATT MTU of the
// connection (a packet carries at most the MTU less 3 bytes, and at most 512: bluetoothd reads each into a
// 512-byte buffer and drops a write that does not fit the MTU). The socket's send buffer is the flow control:
// while it is full bluetoothd has not taken the earlier packets, so the writer waits instead of queueing
// without bound. The buffer is kept small, so what waits below a ping is a few packets, not a transfer.
//
// Threads: any one thread at a time (the central's queue); fd() may be watched from another thread for as
// long as the object lives.
class GattWriteSocket {
  public:
    // Bytes the send buffer is asked to hold (the kernel doubles it for its own bookkeeping).
    static constexpr int sendBuffer = 32768;
    // How long a send that finds the buffer full after a poll said it had room waits for it.
    static constexpr int stallMs = 1000;

    GattWriteSocket(UniqueFd socket, std::size_t mtu);

    // The payload of one write without response: the ATT MTU less the 3-byte ATT header.
    std::size_t maximumWriteLength() const { return mtu_ > 23 ? mtu_ - 3 : 20; }
    // True when a packet can be sent now without blocking.
    bool writable() const;
    // Sends `packet` whole as one write. Throws PosixError when the socket broke (the device went away,
    // BlueZ released the write lock) or stayed full for `stallMs`.
    void send(ByteView packet);
    int fd() const { return socket_.get(); }

  private:
    const UniqueFd socket_;
    const std::size_t mtu_;
};

}  // namespace velmora
