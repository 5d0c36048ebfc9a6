#include "support/simulated_phone.h"

#include <cerrno>
#include <stdexcept>

#include "core/channel/channel_limits.h"
#include "core/channel/secure_channel.h"
#include "core/crypto/base64.h"
#include "core/errors/cxp_error.h"
#include "core/errors/net_error.h"
#include "core/protocol/control_json.h"
#include "core/session/link_session.h"
#include "core/text/limits.h"

namespace velmora {
namespace {

using nlohmann::json;

constexpr std::size_t kNonceBytes = 32;

// Ends the phone's side; the text is kept in the outcome.
struct PhoneStop : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string textOf(const json& m, const char* key) {
    const auto it = m.find(key);
    return it != m.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// One connection, from the hellos to the end of the session.
struct PhoneConnection {
    SimulatedPhone& phone;
    const PhoneConfig& config;
    std::shared_ptr<SecureChannel> channel;
    std::shared_ptr<PhoneLink> link = {};

    ~PhoneConnection() {
        if (!link) return;
        link->ended();
        if (config.onEnd) config.onEnd();
    }

    void run(PhoneOutcome& out) {
        const SoftwareIdentity& me = phone.identity();
        send(PhoneStep::auth, {{"t", "auth"},
                               {"pub", Base64::encode(me.publicX963())},
                               {"sig", Base64::encode(me.sign(signedBytes(LinkSession::rolePhone)))},
                               {"id", me.id()},
                               {"name", config.name},
                               {"platform", "android"}});
        const json auth = receive();
        const auto pub = Base64::decode(textOf(auth, "pub"));
        const auto sig = Base64::decode(textOf(auth, "sig"));
        if (textOf(auth, "t") != "auth" || !pub || !sig) throw PhoneStop{"esperava auth do computador"};
        if (!CXPCrypto::verify(*pub, signedBytes(LinkSession::roleComputer), *sig))
            throw PhoneStop{"assinatura do computador inválida"};
        const std::string id = CXPCrypto::deviceId(*pub);
        if (textOf(auth, "id") != id) throw PhoneStop{"id do computador não confere"};
        out.computerAuth = auth;
        if (config.onComputer) config.onComputer(id, auth);

        if (phone.knows(id)) {
            send(PhoneStep::answer, {{"t", "ready"}});
        } else if (!config.readyToPair) {
            return send(PhoneStep::answer, {{"t", "error"}, {"code", "not_paired"}});
        } else {
            send(PhoneStep::answer, {{"t", "pair.begin"}, {"sas", "cr1"}});
            if (!pair(out)) return;
            phone.remember(id);
            if (config.onPaired) config.onPaired(id);
            send(PhoneStep::ready, {{"t", "ready"}});
        }
        out.sessionReady = true;
        channel->setPreAuth(false);
        link = std::make_shared<PhoneLink>(channel);
        if (config.onReady) config.onReady(link);
        for (const Frame& record : config.afterReady)
            channel->send(record.channel, record.payload);
        if (!config.hangUpAfterRecords) serveSession(out);
    }

    Bytes signedBytes(std::uint8_t role) const {
        return LinkSession::authSignedBytes(role, channel->transcript());
    }

    // True when both users accepted.
    bool pair(PhoneOutcome& out) {
        const json commit = receive();
        const auto commitment = Base64::decode(textOf(commit, "c"));
        // The literal the companion app expects, not the computer's constant, so a change there shows.
        if (textOf(commit, "t") != "pair.commit" || !commitment) throw PhoneStop{"esperava pair.commit"};
        const Bytes nonce = CXPCrypto::randomBytes(kNonceBytes);
        send(PhoneStep::nonce, {{"t", "pair.nonce"}, {"n", Base64::encode(nonce)}});

        const json reveal = receive();
        const auto theirs = Base64::decode(textOf(reveal, "n"));
        if (textOf(reveal, "t") != "pair.reveal" || !theirs) throw PhoneStop{"esperava pair.reveal"};
        // Both nonces are 32 bytes; a shorter one would weaken the code, whatever it commits to.
        if (theirs->size() != kNonceBytes) throw PhoneStop{"pair.reveal inválido"};
        if (SecureChannel::sasCommit(channel->transcript(), *theirs) != *commitment) {
            channel->send(Ch::control, encodeJSON({{"t", "error"}, {"code", "sas_commit_mismatch"}}));
            throw PhoneStop{"compromisso não confere"};
        }
        out.shownCode = channel->pairingCode(*theirs, nonce);
        const bool accepted = config.accept(*out.shownCode);
        send(PhoneStep::confirm, {{"t", "pair.confirm"}, {"accept", accepted}});

        const json confirm = receive();
        if (textOf(confirm, "t") != "pair.confirm") throw PhoneStop{"esperava pair.confirm"};
        out.computerAccepted = confirm.contains("accept") && confirm.at("accept") == true;
        return accepted && *out.computerAccepted;
    }

    void serveSession(PhoneOutcome& out) {
        for (;;) {
            Frame frame = channel->receive();
            // The phone holds the computer to the per-channel limits, as the computer holds the phone.
            if (static_cast<std::int64_t>(frame.payload.size()) > recordMax(frame.channel))
                throw PhoneStop{"registro grande demais para o canal " + std::to_string(frame.channel)};
            if (frame.channel != Ch::control) {
                if (config.onRecord)
                    for (const json& reply : config.onRecord(frame))
                        channel->send(Ch::control, encodeJSON(reply));
                if (config.keepRecords) out.records.push_back(std::move(frame));
                continue;
            }
            json message = decodeJSON(frame.payload, static_cast<std::size_t>(Limits::controlMax));
            if (textOf(message, "t") == "ping" && !phone.silent()) {
                json pong{{"t", "pong"}};
                for (const char* echoed : {"seq", "ts"})
                    if (message.contains(echoed)) pong[echoed] = message[echoed];
                channel->send(Ch::control, encodeJSON(pong));
            }
            if (config.onControl) config.onControl(message);
            if (config.answer)
                for (const json& reply : config.answer(message))
                    channel->send(Ch::control, encodeJSON(reply));
            if (config.stream)
                for (const Frame& record : config.stream(message)) {
                    if (config.beforeStreamRecord) config.beforeStreamRecord(record);
                    channel->send(record.channel, record.payload);
                }
            out.received.push_back(std::move(message));
        }
    }

    json receive() {
        const Frame frame = channel->receive();
        if (frame.channel != Ch::control) throw PhoneStop{"canal inesperado"};
        return decodeJSON(frame.payload, static_cast<std::size_t>(Limits::controlMax));
    }

    void send(PhoneStep step, json message) {
        static const StepFault none;
        const auto it = config.faults.find(step);
        const StepFault& fault = it == config.faults.end() ? none : it->second;
        if (fault.stall) {
            fault.stall();
            // Only a close, by the computer or by a test, ends the stall.
            for (;;)
                (void)channel->receive();
        }
        if (fault.edit) fault.edit(message);
        channel->send(fault.channel, fault.rawPayload.value_or(encodeJSON(message)));
    }
};

}  // namespace

bool PhoneLink::send(std::uint8_t channel, ByteView payload) {
    if (ended_.load()) return false;
    try {
        channel_->send(channel, payload);
        return true;
    } catch (const std::exception&) {  // the session ended under this send: the link is gone, nothing to tell
        ended_.store(true);
        return false;
    }
}

bool PhoneLink::sendControl(const nlohmann::json& message) {
    return send(Ch::control, encodeJSON(message));
}

void PhoneLink::hangUp() {
    ended_.store(true);
    channel_->close();
}

PhoneOutcome SimulatedPhone::serve(std::shared_ptr<Transport> transport) {
    PhoneOutcome out;
    try {
        std::unique_lock lock(mutex_);
        const PhoneConfig config = config_;
        lock.unlock();
        PhoneConnection{*this, config,
                        std::shared_ptr<SecureChannel>(SecureChannel::acceptAsServer(transport))}
            .run(out);
    } catch (const std::exception& e) {
        // The other side hanging up is how every connection ends, noticed on a read or on a write.
        const auto* cxp = dynamic_cast<const CXPError*>(&e);
        const auto* net = dynamic_cast<const NetError*>(&e);
        const bool hangUp = (cxp && cxp->kind() == CXPError::Kind::closed) ||
                            (net && net->kind() == NetError::Kind::posix &&
                             (net->code() == EPIPE || net->code() == ECONNRESET));
        if (!hangUp) out.error = e.what();
    }
    transport->close();
    return out;
}

}  // namespace velmora
