#include "core/transport/tcp_transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/errors/cxp_error.h"
#include "core/errors/net_error.h"

namespace velmora {
namespace {

constexpr double retryPause = 0.5;

// Refusals, unreachable networks and a local firewall rule (EPERM, EACCES) will not change by waiting: they
// end the attempt at once. Anything else (a lost SYN, a drop on the way, a resolver hiccup) is retried until
// the deadline.
bool isFinal(int error) {
    switch (error) {
        case EPERM:
        case EACCES:
        case ECONNREFUSED:
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
            return true;
        default:
            return false;
    }
}

// Nagle off (records are latency-bound), and keep-alive probing so a phone that vanished is noticed within
// about 25 s of silence (10 s idle, then 3 probes 5 s apart). Best effort: a socket that is not TCP (a
// socketpair in tests) refuses them, which changes nothing else.
void applyOptions(int fd) {
    const int on = 1, idle = 10, interval = 5, count = 3;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
}

Deadline deadlineAfter(double seconds) {
    const double now = SteadyClock::shared().now();
    if (!(seconds >= 0.0)) return now;
    // A careless huge or infinite timeout waits a year at most.
    return now + std::min(seconds, 366.0 * 24 * 3600);
}

UniqueFd makeWakeFd() {
    UniqueFd fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!fd.valid()) throw PosixError(errno);
    return fd;
}

}  // namespace

TcpTransport::TcpTransport(std::string host, std::uint16_t port, Resolver resolver)
    : host_(std::move(host)), port_(port), resolver_(std::move(resolver)), wakeFd_(makeWakeFd()) {}

TcpTransport::TcpTransport(UniqueFd connected) : wakeFd_(makeWakeFd()), socket_(std::move(connected)) {
    if (!socket_.valid()) throw std::invalid_argument("TcpTransport: descritor inválido");
    applyOptions(socket_.get());
    // Reads and writes block; a non-blocking socket would turn every wait into an EAGAIN failure.
    const int flags = ::fcntl(socket_.get(), F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK)) ::fcntl(socket_.get(), F_SETFL, flags & ~O_NONBLOCK);
    started_ = true;
    connected_ = true;
}

TcpTransport::~TcpTransport() {
    std::lock_guard lock(stateMutex_);
    if (socket_.valid()) ::shutdown(socket_.get(), SHUT_RDWR);
}

void TcpTransport::setStateLog(StateLog log) {
    std::lock_guard lock(logMutex_);
    stateLog_ = std::move(log);
}

int TcpTransport::descriptor() const {
    std::lock_guard lock(stateMutex_);
    return socket_.get();
}

void TcpTransport::logState(const std::string& state) noexcept {
    try {
        std::lock_guard lock(logMutex_);
        // One line per change: a retry that meets the same error again says nothing new.
        if (state == lastState_) return;
        lastState_ = state;
        if (stateLog_) stateLog_("conexão de rede: " + state);
    } catch (...) {
        // A failing log must not turn a state change (or close(), which never throws) into a failure.
    }
}

// --- connecting ---

void TcpTransport::connect(double timeoutSeconds) {
    {
        std::lock_guard lock(stateMutex_);
        if (closed_) throw CXPError::closed();
        if (started_) throw std::logic_error("TcpTransport: connect chamado duas vezes");
        started_ = true;
    }
    const Deadline deadline = deadlineAfter(timeoutSeconds);
    logState("preparing");
    for (;;) {
        const auto addresses = resolve(deadline);
        if (!addresses.empty() && attemptAll(addresses, deadline)) break;
        pauseBeforeRetry(deadline);
    }
    {
        std::lock_guard lock(stateMutex_);
        // A close() that came just as the connection completed wins: it has already said "cancelled".
        if (closed_) throw CXPError::closed();
        connected_ = true;
    }
    logState("ready");
}

void TcpTransport::cancelConnect() {
    bool wasClosed;
    {
        std::lock_guard lock(stateMutex_);
        wasClosed = std::exchange(closed_, true);
        // No reader or writer can hold this descriptor yet: connect() has not returned.
        socket_.reset();
    }
    if (!wasClosed) logState("cancelled");
}

std::vector<SocketAddress> TcpTransport::resolve(Deadline deadline) {
    if (auto literal = numericAddress(host_, port_)) return {*literal};
    ResolveOutcome outcome = resolveWithin(resolver_, host_, port_, deadline, wakeFd_.get());
    switch (outcome.status) {
        case ResolveOutcome::Status::woken:
            cancelConnect();
            throw CXPError::closed();
        case ResolveOutcome::Status::timedOut:
            cancelConnect();
            throw CXPError::timedOut();
        case ResolveOutcome::Status::failed:
            logState("waiting(" + outcome.failure + ")");
            return {};
        case ResolveOutcome::Status::resolved:
            break;
    }
    if (outcome.addresses.empty()) logState("waiting(" + std::string(NetError::dns(EAI_NONAME).what()) + ")");
    return std::move(outcome.addresses);
}

bool TcpTransport::attemptAll(const std::vector<SocketAddress>& addresses, Deadline deadline) {
    bool anyTransient = false;
    int lastFinal = 0;
    for (const SocketAddress& address : addresses) {
        int error = 0;
        switch (attempt(address, deadline, error)) {
            case Attempt::connected:
                return true;
            case Attempt::cancelled:
                cancelConnect();
                throw CXPError::closed();
            case Attempt::timedOut:
                cancelConnect();
                throw CXPError::timedOut();
            case Attempt::finalError:
                lastFinal = error;
                break;
            case Attempt::transientError:
                anyTransient = true;
                break;
        }
        logState("waiting(" + std::string(NetError::posix(error).what()) + ")");
    }
    if (anyTransient) return false;
    cancelConnect();
    throw NetError::posix(lastFinal);
}

TcpTransport::Attempt TcpTransport::attempt(const SocketAddress& address, Deadline deadline, int& error) {
    UniqueFd fd(::socket(address.family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) {
        error = errno;
        return Attempt::transientError;
    }
    applyOptions(fd.get());
    const int raw = fd.get();
    {
        std::lock_guard lock(stateMutex_);
        if (closed_) return Attempt::cancelled;
        socket_ = std::move(fd);
    }
    auto fail = [&](int code) {
        error = code;
        std::lock_guard lock(stateMutex_);
        socket_.reset();
        return isFinal(code) ? Attempt::finalError : Attempt::transientError;
    };

    if (::connect(raw, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0) {
        // EINTR leaves a non-blocking connect running in the background, like EINPROGRESS.
        if (errno != EINPROGRESS && errno != EINTR) return fail(errno);
        switch (waitFor(raw, POLLOUT, wakeFd_.get(), deadline)) {
            case WaitResult::woken:
                return Attempt::cancelled;
            case WaitResult::timedOut:
                return Attempt::timedOut;
            case WaitResult::ready:
                break;
        }
        int soError = 0;
        socklen_t length = sizeof soError;
        if (::getsockopt(raw, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) return fail(errno);
        if (soError != 0) return fail(soError);
    }
    // Reads and writes block from here on; close() wakes them by shutting the socket down.
    const int flags = ::fcntl(raw, F_GETFL);
    if (flags < 0 || ::fcntl(raw, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(errno);
    return Attempt::connected;
}

void TcpTransport::pauseBeforeRetry(Deadline deadline) {
    const Deadline until = std::min(deadline, SteadyClock::shared().now() + retryPause);
    if (waitFor(-1, 0, wakeFd_.get(), until) == WaitResult::woken) {
        cancelConnect();
        throw CXPError::closed();
    }
    if (SteadyClock::shared().now() >= deadline) {
        cancelConnect();
        throw CXPError::timedOut();
    }
}

// --- reading and writing ---

int TcpTransport::connectedFd() const {
    std::lock_guard lock(stateMutex_);
    if (closed_ || !connected_) throw CXPError::closed();
    return socket_.get();
}

bool TcpTransport::isClosed() const {
    std::lock_guard lock(stateMutex_);
    return closed_;
}

std::size_t TcpTransport::receiveSome(int fd, std::uint8_t* into, std::size_t max, std::uint8_t* surplus,
                                      std::size_t surplusMax) {
    iovec parts[2] = {{into, max}, {surplus, surplusMax}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    for (;;) {
        const ssize_t n = ::recvmsg(fd, &message, 0);
        if (n > 0) return static_cast<std::size_t>(n);
        // End of stream: the peer closed, or close() shut the socket down under us.
        if (n == 0) throw CXPError::closed();
        if (errno == EINTR) continue;
        failWith(errno);
    }
}

Bytes TcpTransport::readExactly(std::size_t n) {
    Bytes out(n);
    readInto(out);
    return out;
}

void TcpTransport::readInto(std::span<std::uint8_t> out) {
    const std::size_t n = out.size();
    const std::size_t buffered = bufferEnd_ - bufferStart_;
    if (n <= buffered) {
        std::memcpy(out.data(), buffer_.data() + bufferStart_, n);
        bufferStart_ += n;
        return;
    }
    const int fd = connectedFd();
    std::memcpy(out.data(), buffer_.data() + bufferStart_, buffered);
    bufferStart_ = bufferEnd_ = 0;
    std::size_t got = buffered;
    try {
        while (got < n) {
            // One call fills the caller's remainder in place and puts any surplus (the start of what
            // follows) in the buffer: a read costs neither an extra copy nor an extra system call.
            const std::size_t needed = n - got;
            const std::size_t surplus = needed >= readChunk ? largeReadSurplus : readChunk;
            const std::size_t received = receiveSome(fd, out.data() + got, needed, buffer_.data(), surplus);
            if (received <= needed) {
                got += received;
                continue;
            }
            got = n;
            bufferEnd_ = received - needed;
        }
    } catch (...) {
        // Nothing received is lost: what this call gathered waits in the buffer (which it had emptied).
        if (buffer_.size() < got) buffer_.resize(got);
        std::memcpy(buffer_.data(), out.data(), got);
        bufferStart_ = 0;
        bufferEnd_ = got;
        throw;
    }
}

void TcpTransport::write(ByteView data) {
    const int fd = connectedFd();
    std::size_t sent = 0;
    while (sent < data.size()) {
        // MSG_NOSIGNAL: a peer that vanished gives EPIPE here instead of killing the process with SIGPIPE.
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        failWith(errno);
    }
}

void TcpTransport::failWith(int error) {
    // After a local close the socket's own complaint (EPIPE, ENOTCONN) says nothing: the pipe was closed.
    if (isClosed()) throw CXPError::closed();
    const NetError failure = NetError::posix(error);
    logState("failed(" + std::string(failure.what()) + ")");
    throw failure;
}

void TcpTransport::close() noexcept {
    bool wasStarted;
    {
        std::lock_guard lock(stateMutex_);
        if (closed_) return;
        closed_ = true;
        if (socket_.valid()) ::shutdown(socket_.get(), SHUT_RDWR);
        wasStarted = started_;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wakeFd_.get(), &one, sizeof one);
    if (wasStarted) logState("cancelled");
}

}  // namespace velmora
