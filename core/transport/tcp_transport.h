#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/posix/unique_fd.h"
#include "core/transport/resolver.h"
#include "core/transport/transport.h"

namespace velmora {

// A TCP connection to the phone over POSIX sockets: connect with a deadline that also bounds the name lookup,
// then blocking reads and writes.
//
// Threads: connect() on the owner's connecting thread; readExactly() on one reading thread at a time (it
// alone touches the read buffer); write() on one writing thread at a time (the secure channel serialises its
// writers), alongside a read; close() and setStateLog() from any thread. The state log is called on the
// thread whose call changed the state (connect's thread, or close()'s), never two calls at once.
class TcpTransport final : public ConnectableTransport {
  public:
    using StateLog = std::function<void(const std::string& line)>;

    // Nothing is started until connect(). An IP literal is used as it is and never waits on the resolver.
    TcpTransport(std::string host, std::uint16_t port, Resolver resolver = systemResolver());
    // Adopts a stream socket that is already connected (an accepted connection, one end of a socketpair).
    explicit TcpTransport(UniqueFd connected);
    // Shuts the connection down and releases the socket; logs nothing.
    ~TcpTransport() override;

    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    // Throws CXPError::timedOut past the deadline, NetError::posix at once for a refusal (by the phone or a
    // local firewall rule) or an unreachable network, CXPError::closed when close() comes first. Other
    // failures are retried until the deadline.
    void connect(double timeoutSeconds) override;
    // Throws CXPError::closed when the peer ends the stream or after close(), NetError::posix on a socket
    // error.
    Bytes readExactly(std::size_t n) override;
    void readInto(std::span<std::uint8_t> out) override;
    void write(ByteView data) override;
    // Shuts the socket down, which wakes a read or write blocked on another thread; the descriptor itself
    // stays reserved until this object dies, so a blocked call can never land on a reused descriptor number.
    void close() noexcept override;

    // Receives one line ("conexão de rede: <state>") for every state change of the connection.
    void setStateLog(StateLog log);

    // The connected socket (or -1), for checks of its options.
    int descriptor() const;

    // Reads ask the socket for up to this much beyond what they need; the surplus waits in the buffer for the
    // next read. A read of readChunk bytes or more asks for only largeReadSurplus beyond: the surplus is
    // copied once more when it is read, which pays only when it saves a small read its system call.
    static constexpr std::size_t readChunk = 65536;
    static constexpr std::size_t largeReadSurplus = 512;

  private:
    enum class Attempt { connected, finalError, transientError, timedOut, cancelled };

    Attempt attempt(const SocketAddress& address, Deadline deadline, int& error);
    bool attemptAll(const std::vector<SocketAddress>& addresses, Deadline deadline);
    std::vector<SocketAddress> resolve(Deadline deadline);
    void pauseBeforeRetry(Deadline deadline);
    void cancelConnect();
    bool isClosed() const;
    int connectedFd() const;
    // Some bytes into `into` first, then into `surplus`; how many in all, at least one.
    std::size_t receiveSome(int fd, std::uint8_t* into, std::size_t max, std::uint8_t* surplus,
                            std::size_t surplusMax);
    [[noreturn]] void failWith(int error);
    void logState(const std::string& state) noexcept;

    const std::string host_;
    const std::uint16_t port_ = 0;
    const Resolver resolver_;
    const UniqueFd wakeFd_;  // readable once close() ran; ends every wait of connect()

    mutable std::mutex stateMutex_;  // guards socket_, started_, connected_, closed_
    UniqueFd socket_;
    bool started_ = false;
    bool connected_ = false;
    bool closed_ = false;

    std::mutex logMutex_;  // guards stateLog_, lastState_; held while the log runs, so lines never overlap
    StateLog stateLog_;
    std::string lastState_;

    // Reading thread only.
    Bytes buffer_ = Bytes(readChunk);
    std::size_t bufferStart_ = 0;
    std::size_t bufferEnd_ = 0;
};

}  // namespace velmora
