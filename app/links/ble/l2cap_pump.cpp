#include "app/links/ble/l2cap_pump.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include "core/errors/cxp_error.h"
#include "core/errors/net_error.h"

namespace velmora {
namespace {

constexpr int sliceMs = 250;

std::exception_ptr posixFailure(int code) {
    return std::make_exception_ptr(NetError::posix(code));
}

}  // namespace

L2capPump::L2capPump(UniqueFd socket, Limits limits, MtuProbe probe)
    : socket_(std::move(socket)),
      wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      limits_(limits),
      probe_(std::move(probe)) {
    int type = 0;
    socklen_t size = sizeof type;
    packets_ = ::getsockopt(socket_.get(), SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_SEQPACKET;
}

L2capPump::~L2capPump() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;  // quietly: the owner is gone, nobody is left to tell
    }
    wake();
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // the thread's own reference was the last: its loop has ended
    } else {
        thread_.join();
    }
}

void L2capPump::start() {
    thread_ = std::thread([self = shared_from_this()] {
        pthread_setname_np(pthread_self(), "tessel.l2cap");
        self->run();
    });
}

void L2capPump::run() {
    for (;;) {
        bool wantOut = !opened_;
        {
            std::lock_guard lock(mutex_);
            if (closed_) return;
            wantOut = wantOut || outBuf_.size() > outSent_;
        }
        pollfd fds[2] = {{socket_.get(), static_cast<short>(POLLIN | (wantOut ? POLLOUT : 0)), 0},
                         {wakeFd_.get(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, sliceMs);
        if (ready < 0 && errno != EINTR) return close(posixFailure(errno));
        if (ready <= 0) continue;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto ignored = ::read(wakeFd_.get(), &count, sizeof count);
        }
        const short ev = fds[0].revents;
        if (!opened_ && (ev & (POLLOUT | POLLERR | POLLHUP)) && !finishOpen()) return;
        if (ev & POLLIN) receive();
        if (ev & POLLERR) {
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &error, &size);
            close(error != 0 ? posixFailure(error) : std::make_exception_ptr(CXPError::closed()));
        } else if ((ev & POLLHUP) && !(ev & POLLIN)) {
            close(std::make_exception_ptr(CXPError::closed()));
        }
        if (opened_ && (ev & POLLOUT)) drain();
    }
}

// The connect has completed (or failed): a socket error ends the pump, else both directions are open.
bool L2capPump::finishOpen() {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    if (error != 0) {
        close(posixFailure(error));
        return false;
    }
    if (probe_) {
        const auto [send, receive] = probe_(socket_.get());
        if (send > 0) limits_.sendMtu = send;
        limits_.readChunk = std::max(limits_.readChunk, receive);
    }
    opened_ = true;
    if (onOpen) onOpen();
    return true;
}

void L2capPump::receive() {
    Bytes scratch(limits_.readChunk);
    for (;;) {
        // On a packet socket MSG_TRUNC makes a packet larger than the buffer show its real length, so its
        // lost tail becomes an error instead of a silent gap in the stream.
        const ssize_t got =
            ::recv(socket_.get(), scratch.data(), scratch.size(), MSG_DONTWAIT | (packets_ ? MSG_TRUNC : 0));
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) close(posixFailure(errno));
            return;
        }
        if (got == 0) return close(std::make_exception_ptr(CXPError::closed()));
        const auto size = static_cast<std::size_t>(got);
        if (size > scratch.size()) {
            return close(std::make_exception_ptr(CXPError::protocolError("pacote L2CAP maior que o buffer")));
        }
        {
            std::lock_guard lock(mutex_);
            if (closed_) return;
            inBuf_.insert(inBuf_.end(), scratch.begin(), scratch.begin() + got);
        }
        changed_.notify_all();
    }
}

void L2capPump::drain() {
    const std::size_t packet = std::max<std::size_t>(1, std::min(maxPacket, limits_.sendMtu));
    int error = 0;
    {
        std::lock_guard lock(mutex_);
        while (!closed_ && outBuf_.size() > outSent_) {
            const std::size_t length = std::min(packet, outBuf_.size() - outSent_);
            const ssize_t sent =
                ::send(socket_.get(), outBuf_.data() + outSent_, length, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) error = errno;
            // No room now (EAGAIN), or a send that failed: a broken channel (EPIPE after the phone shut it,
            // EMSGSIZE for a packet over its MTU) would keep polling writable and fail again on every turn.
            if (sent <= 0) break;
            outSent_ += static_cast<std::size_t>(sent);
        }
        if (outSent_ == outBuf_.size()) {
            outBuf_.clear();
            outSent_ = 0;
        } else if (outSent_ > outBuf_.size() / 2) {
            outBuf_.erase(outBuf_.begin(), outBuf_.begin() + static_cast<std::ptrdiff_t>(outSent_));
            outSent_ = 0;
        }
    }
    if (error != 0) return close(posixFailure(error));
    changed_.notify_all();
}

Bytes L2capPump::readExactly(std::size_t n) {
    std::unique_lock lock(mutex_);
    while (inBuf_.size() < n) {
        if (closed_) throwFailure();
        changed_.wait_for(lock, std::chrono::seconds(1));
    }
    Bytes result(inBuf_.begin(), inBuf_.begin() + static_cast<std::ptrdiff_t>(n));
    inBuf_.erase(inBuf_.begin(), inBuf_.begin() + static_cast<std::ptrdiff_t>(n));
    return result;
}

void L2capPump::write(ByteView data) {
    {
        std::unique_lock lock(mutex_);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::duration<double>(limits_.writeDeadline);
        while (outBuf_.size() - outSent_ > limits_.queueLimit) {
            if (closed_) throwFailure();
            if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
                outBuf_.size() - outSent_ > limits_.queueLimit && !closed_) {
                throw CXPError::timedOut();
            }
        }
        if (closed_) throwFailure();
        outBuf_.insert(outBuf_.end(), data.begin(), data.end());
    }
    wake();
}

void L2capPump::close(std::exception_ptr error) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        closed_ = true;
        if (!failure_) failure_ = error;
    }
    // The far end hears of the close at once; the descriptor itself lives as long as the pump, so the pump
    // thread never polls a number the process has reused.
    ::shutdown(socket_.get(), SHUT_RDWR);
    changed_.notify_all();
    wake();
    if (onClosed) onClosed(error);
}

std::size_t L2capPump::queued() const {
    std::lock_guard lock(mutex_);
    return outBuf_.size() - outSent_;
}

void L2capPump::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(wakeFd_.get(), &one, sizeof one);
}

void L2capPump::throwFailure() {
    if (failure_) std::rethrow_exception(failure_);
    throw CXPError::closed();
}

}  // namespace velmora
