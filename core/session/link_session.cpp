#include "core/session/link_session.h"

#include <array>
#include <string>

#include "core/channel/channel_limits.h"
#include "core/errors/cxp_error.h"
#include "core/protocol/control_json.h"
#include "core/text/limits.h"

namespace velmora {

namespace {

std::atomic<std::uint64_t> nextSerial{0};  // 64 bits: not spent in any run

}  // namespace

LinkSession::LinkSession(OpenedToken, std::unique_ptr<SecureChannel> channel, Peer peer, bool newlyPaired,
                         bool peerSaveFailed, const Clock& clock)
    : channel_(std::move(channel)),
      peer_(std::move(peer)),
      newlyPaired_(newlyPaired),
      peerSaveFailed_(peerSaveFailed),
      clock_(clock),
      serial_(nextSerial.fetch_add(1) + 1),
      lastRx_(clock.now()) {}

LinkSession::~LinkSession() = default;

void LinkSession::run(SessionDelegate& delegate) {
    // A second loop would receive on the same channel from two threads and report the end twice.
    if (ran_.exchange(true)) return;
    std::exception_ptr error;
    try {
        while (!closed_.load())
            receiveOne(delegate);
    } catch (...) {
        // A local close makes the pending receive fail; that is the normal end, not a failure.
        if (!closed_.load()) error = std::current_exception();
    }
    closed_.store(true);
    channel_->close();
    delegate.sessionDidClose(*this, error);
}

void LinkSession::receiveOne(SessionDelegate& delegate) {
    channel_->receive(received_);
    const Frame& frame = received_;
    // Every record counts as a sign of life, also one that is then dropped or refused.
    lastRx_.store(clock_.now());
    if (static_cast<std::int64_t>(frame.payload.size()) > recordMax(frame.channel)) {
        throw CXPError::protocolError("registro grande demais para o canal " + std::to_string(frame.channel));
    }
    switch (frame.channel) {
        case Ch::control: {
            nlohmann::json message = decodeJSON(frame.payload, static_cast<std::size_t>(Limits::controlMax));
            const auto t = message.find("t");
            if (t != message.end() && t->is_string() && *t == "caps") {
                std::lock_guard lock(capsMutex_);
                peerCaps_ = std::make_shared<const nlohmann::json>(message);
            }
            delegate.didReceiveControl(*this, message);
            return;
        }
        case Ch::video:
            delegate.didReceiveVideo(*this, frame.payload);
            return;
        case Ch::audio:
            delegate.didReceiveAudio(*this, frame.payload);
            return;
        case Ch::files:
            delegate.didReceiveFile(*this, frame.payload);
            return;
        default:
            // Input and unknown channels: nothing is expected from the phone there.
            return;
    }
}

void LinkSession::sendControl(const nlohmann::json& message) {
    channel_->send(Ch::control, encodeJSON(message));
}

void LinkSession::sendInput(const nlohmann::json& message) {
    channel_->send(Ch::input, encodeJSON(message));
}

namespace {

// A file record's head: the transfer id, big-endian.
std::array<std::uint8_t, 4> tidHead(std::uint32_t tid) {
    return {static_cast<std::uint8_t>(tid >> 24), static_cast<std::uint8_t>(tid >> 16),
            static_cast<std::uint8_t>(tid >> 8), static_cast<std::uint8_t>(tid)};
}

}  // namespace

void LinkSession::sendFileChunk(std::uint32_t tid, ByteView data) {
    // The id and the data are sealed where they lie: a file's bytes are not copied on their way out.
    const auto head = tidHead(tid);
    channel_->send(Ch::files, ByteView(head), data);
}

void LinkSession::sendFileChunks(std::uint32_t tid, ByteView data, std::size_t chunk) {
    const auto head = tidHead(tid);
    channel_->sendChunks(Ch::files, ByteView(head), data, chunk);
}

void LinkSession::close() {
    closed_.store(true);
    channel_->close();
}

std::optional<nlohmann::json> LinkSession::peerCaps() const {
    std::lock_guard lock(capsMutex_);
    if (!peerCaps_) return std::nullopt;
    return *peerCaps_;
}

std::string LinkSession::transportKind() const {
    std::lock_guard lock(kindMutex_);
    return transportKind_;
}

void LinkSession::setTransportKind(std::string kind) {
    std::lock_guard lock(kindMutex_);
    transportKind_ = std::move(kind);
}

}  // namespace velmora
