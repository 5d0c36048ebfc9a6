#include <string>
#include <string_view>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/errors/cxp_error.h"
#include "core/protocol/control_json.h"
#include "core/protocol/inbound.h"
#include "core/session/link_session.h"
#include "core/text/limits.h"
#include "core/text/safe_text.h"

namespace velmora {
namespace {

using nlohmann::json;

// The base64 text of `n` bytes in its one canonical form.
constexpr std::size_t base64Length(std::size_t n) {
    return (n + 2) / 3 * 4;
}

// Every decoded field has a bound: its text is refused before decoding when longer than the form of its
// exact size (or, for the pairing nonce, than 64 characters), and the decoded bytes must have that size.
constexpr std::size_t kKeyBytes = 65;        // X9.63 uncompressed P-256 public key
constexpr std::size_t kSignatureBytes = 64;  // raw r || s
constexpr std::size_t kNonceBytes = 32;
constexpr std::size_t kKeyTextMax = base64Length(kKeyBytes);
constexpr std::size_t kSignatureTextMax = base64Length(kSignatureBytes);
constexpr std::size_t kNonceTextMax = 64;

json receiveHandshake(SecureChannel& channel) {
    const Frame frame = channel.receive();
    if (frame.channel != Ch::control) throw CXPError::protocolError("canal inesperado durante o handshake");
    return decodeJSON(frame.payload, static_cast<std::size_t>(Limits::controlMax));
}

void sendHandshake(SecureChannel& channel, const json& message) {
    channel.send(Ch::control, encodeJSON(message));
}

// A member as it came, for exact comparisons and the SafeText cleaners.
std::optional<std::string_view> rawText(const json& message, std::string_view key) {
    return Inbound::rawText(Inbound::field(message, key));
}

bool hasType(const json& message, std::string_view type) {
    return rawText(message, "t") == type;
}

// The refusal reason of an unexpected answer: its "code", else its "t", as a log-safe token.
std::string refusalReason(const json& message) {
    if (const auto code = rawText(message, "code")) return SafeText::logToken(code);
    return SafeText::logToken(rawText(message, "t"));
}

Peer authenticatePhone(const json& auth, ByteView transcript) {
    const auto pub = Inbound::base64(Inbound::field(auth, "pub"), kKeyTextMax);
    const auto sig = Inbound::base64(Inbound::field(auth, "sig"), kSignatureTextMax);
    if (!hasType(auth, "auth") || !pub || !sig) throw CXPError::protocolError("esperava auth");
    // A key or signature of another size is one the check cannot read: the same refusal as a bad one.
    if (pub->size() != kKeyBytes || sig->size() != kSignatureBytes ||
        !CXPCrypto::verify(*pub, LinkSession::authSignedBytes(LinkSession::rolePhone, transcript), *sig)) {
        throw CXPError::protocolError("assinatura inválida");
    }
    const std::string id = CXPCrypto::deviceId(*pub);
    if (Inbound::deviceId(Inbound::field(auth, "id")) != id)
        throw CXPError::protocolError("id não confere com a chave");
    return Peer{id, *pub, SafeText::deviceName(rawText(auth, "name")),
                SafeText::platform(rawText(auth, "platform"))};
}

json computerAuth(const Identity& me, ByteView transcript) {
    const Bytes signature = me.sign(LinkSession::authSignedBytes(LinkSession::roleComputer, transcript));
    return json{{"t", "auth"},
                {"pub", Base64::encode(me.publicX963())},
                {"sig", Base64::encode(signature)},
                {"name", me.deviceName()},
                {"id", CXPCrypto::deviceId(me.publicX963())},
                {"platform", me.platform()}};
}

// The pairing exchange: the computer commits to its nonce before it learns the phone's and reveals it
// only after, so neither side can steer the six-digit code; the phone checks the commitment. Returns
// whether the new peer was stored durably.
bool pairExchange(SecureChannel& channel, const Peer& peer, PeerStore& store,
                  const LinkSession::Prompt& prompt) {
    const Bytes nonceClient = CXPCrypto::randomBytes(kNonceBytes);
    const Bytes commitment = SecureChannel::sasCommit(channel.transcript(), nonceClient);
    sendHandshake(channel, json{{"t", LinkSession::pairCommitType}, {"c", Base64::encode(commitment)}});

    const json nonceMessage = receiveHandshake(channel);
    if (hasType(nonceMessage, "error"))
        throw CXPError::rejected(SafeText::logToken(rawText(nonceMessage, "code")));
    if (!hasType(nonceMessage, "pair.nonce")) throw CXPError::protocolError("esperava pair.nonce");
    const auto nonceServer = Inbound::base64(Inbound::field(nonceMessage, "n"), kNonceTextMax);
    if (!nonceServer || nonceServer->size() != kNonceBytes)
        throw CXPError::protocolError("pair.nonce inválido");

    sendHandshake(channel, json{{"t", "pair.reveal"}, {"n", Base64::encode(nonceClient)}});
    const std::string code = channel.pairingCode(nonceClient, *nonceServer);
    // No prompt means nobody can confirm the code: that is a refusal, never an acceptance.
    const bool accepted = prompt ? prompt(peer, code) : false;
    sendHandshake(channel, json{{"t", "pair.confirm"}, {"accept", accepted}});

    const json confirm = receiveHandshake(channel);
    if (hasType(confirm, "error")) throw CXPError::rejected(SafeText::logToken(rawText(confirm, "code")));
    if (!hasType(confirm, "pair.confirm")) throw CXPError::protocolError("esperava pair.confirm");
    if (!accepted) throw CXPError::rejected("pareamento recusado");
    // Only a JSON true is a yes: a number or a text never stands in for a boolean.
    if (Inbound::boolean(Inbound::field(confirm, "accept")) != true)
        throw CXPError::rejected("pareamento recusado");
    return store.save(peer);
}

}  // namespace

Bytes LinkSession::authSignedBytes(std::uint8_t role, ByteView transcript) {
    constexpr std::string_view label = "CXP1-auth";
    Bytes input(label.begin(), label.end());
    input.push_back(role);
    input.insert(input.end(), transcript.begin(), transcript.end());
    return input;
}

std::unique_ptr<LinkSession> LinkSession::open(std::unique_ptr<SecureChannel> channel, const Identity& me,
                                               PeerStore& store, const std::optional<std::string>& expected,
                                               bool userInitiated, const Prompt& prompt, const Clock& clock) {
    SecureChannel& ch = *channel;
    Peer peer = authenticatePhone(receiveHandshake(ch), ch.transcript());

    const std::optional<Peer> stored = store.find(peer.id);
    // A stored entry under this id but with another key is someone else claiming the id.
    const bool known = stored && stored->pub == peer.pub;
    if (expected && (expected->empty() || !peer.id.starts_with(*expected))) throw CXPError::unexpectedPeer();
    if (!userInitiated && !known) throw CXPError::unknownPeer();

    sendHandshake(ch, computerAuth(me, ch.transcript()));

    const json answer = receiveHandshake(ch);
    bool paired = false;
    bool saved = true;
    if (hasType(answer, "ready")) {
        if (!known) throw CXPError::protocolError("o servidor me considera pareado, mas eu não o conheço");
    } else if (hasType(answer, "pair.begin")) {
        if (rawText(answer, "sas") != sasCR1) throw CXPError::rejected("pair_upgrade_required");
        saved = pairExchange(ch, peer, store, prompt);
        if (!hasType(receiveHandshake(ch), "ready"))
            throw CXPError::protocolError("pareamento não concluído");
        paired = true;
    } else {
        throw CXPError::rejected(refusalReason(answer));
    }
    ch.setPreAuth(false);
    return std::make_unique<LinkSession>(OpenedToken{}, std::move(channel), std::move(peer), paired, !saved,
                                         clock);
}

}  // namespace velmora
