#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

// The one error type of the link protocol, its transports and the identity store.
// what() gives the developer text (for the log); the text a user sees comes from FriendlyErrors::describe,
// kept apart so that this layer needs no string tables.
class CXPError : public std::runtime_error {
  public:
    enum class Kind : std::uint8_t {
        protocolError,        // text: fixed Portuguese developer text
        rejected,             // text: refusal code
        identityUnavailable,  // status: secret-store status of a failed read
        identitySaveFailed,   // status: secret-store status of a failed write
        closed,
        timedOut,
        unexpectedPeer,
        unknownPeer,
        identityFileUnsafe,
        identityFileUnreadable,  // status: errno of the failed open or read
    };

    static CXPError protocolError(std::string text) { return {Kind::protocolError, std::move(text), 0}; }
    static CXPError rejected(std::string code) { return {Kind::rejected, std::move(code), 0}; }
    static CXPError identityUnavailable(std::int32_t status) {
        return {Kind::identityUnavailable, {}, status};
    }
    static CXPError identitySaveFailed(std::int32_t status) { return {Kind::identitySaveFailed, {}, status}; }
    static CXPError closed() { return {Kind::closed, {}, 0}; }
    static CXPError timedOut() { return {Kind::timedOut, {}, 0}; }
    static CXPError unexpectedPeer() { return {Kind::unexpectedPeer, {}, 0}; }
    static CXPError unknownPeer() { return {Kind::unknownPeer, {}, 0}; }
    static CXPError identityFileUnsafe() { return {Kind::identityFileUnsafe, {}, 0}; }
    static CXPError identityFileUnreadable(int error) { return {Kind::identityFileUnreadable, {}, error}; }

    Kind kind() const { return kind_; }
    // Payload of protocolError and rejected; empty otherwise.
    const std::string& text() const { return text_; }
    // Payload of identityUnavailable, identitySaveFailed and identityFileUnreadable; 0 otherwise.
    std::int32_t status() const { return status_; }

    bool operator==(const CXPError& o) const {
        return kind_ == o.kind_ && text_ == o.text_ && status_ == o.status_;
    }

  private:
    CXPError(Kind kind, std::string text, std::int32_t status);
    static std::string developerText(Kind kind, const std::string& text, std::int32_t status);

    Kind kind_;
    std::string text_;
    std::int32_t status_;
};

}  // namespace velmora
