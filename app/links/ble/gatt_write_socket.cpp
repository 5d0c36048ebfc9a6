#include "app/links/ble/gatt_write_socket.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "core/errors/net_error.h"

namespace velmora {

GattWriteSocket::GattWriteSocket(UniqueFd socket, std::size_t mtu) : socket_(std::move(socket)), mtu_(mtu) {
    const int size = sendBuffer;
    ::setsockopt(socket_.get(), SOL_SOCKET, SO_SNDBUF, &size,
                 sizeof size);  // a hint: failing keeps the default
}

bool GattWriteSocket::writable() const {
    pollfd fd{socket_.get(), POLLOUT, 0};
    while (::poll(&fd, 1, 0) < 0) {
        if (errno != EINTR) return true;  // let the send report what is wrong
    }
    // A hung-up or failed socket counts as writable: the send then reports the error instead of the writer
    // waiting for room that never comes.
    return (fd.revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) != 0;
}

void GattWriteSocket::send(ByteView packet) {
    for (;;) {
        const ssize_t sent = ::send(socket_.get(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0) return;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) throw PosixError(errno);
        pollfd fd{socket_.get(), POLLOUT, 0};
        const int ready = ::poll(&fd, 1, stallMs);
        if (ready == 0) throw PosixError(ETIMEDOUT);
        if (ready < 0 && errno != EINTR) throw PosixError(errno);
    }
}

}  // namespace velmora
