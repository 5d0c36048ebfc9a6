#include "support/simulated_phone.h"

#include <cerrno>
#include <string_view>

#include "core/channel/secure_channel.h"
#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/errors/net_error.h"
#include "core/protocol/control_json.h"
#include "core/protocol/cxp_error.h"
#include "core/session/link_session.h"
#include "core/text/limits.h"

namespace velmora {
namespace {

using nlohmann::json;

constexpr std::size_t nonceBytes = 32;

// The phone's side ends on any of these; the text is kept in the outcome.
struct PhoneStop {
    std::string why;
};

std::string textOf(const json& m, const char* key) {
    if (!m.is_object()) return {};
    const auto it = m.find(key);
    return it != m.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// One connection, from the hellos to the end of the session.
class PhoneConnection {
  public:
    PhoneConnection(SimulatedPhone& phone, const PhoneConfig& config, std::shared_ptr<Transport> transport)
        : phone_(phone),
          config_(config),
          transport_(transport),
          channel_(SecureChannel::acceptAsServer(transport)) {}

    void run(PhoneOutcome& out) {
        sendAuth();
        out.computerId = receiveComputerAuth(out.computerName, out.computerAuth);
        const bool known = phone_.knows(out.computerId);
        if (known && !config_.alwaysPair) {
            send(PhoneStep::answer, json{{"t", "ready"}});
            out.sessionReady = true;
        } else if (!config_.readyToPair) {
            send(PhoneStep::answer, json{{"t", "error"}, {"code", "not_paired"}});
            return;
        } else {
            send(PhoneStep::answer, json{{"t", "pair.begin"}, {"sas", config_.sas}});
            if (!pair(out)) return;
            phone_.remember(out.computerId);
            send(PhoneStep::ready, json{{"t", "ready"}});
            out.sessionReady = true;
        }
        channel_->setPreAuth(false);
        for (const auto& record : config_.afterReady)
            channel_->send(record.channel, record.payload);
        for (const auto& bytes : config_.wireAfterRecords)
            transport_->write(bytes);
        if (config_.hangUpAfterRecords) return;
        serveSession(out);
    }

  private:
    void sendAuth() {
        const SoftwareIdentity& me = phone_.identity();
        const Bytes sig =
            me.sign(LinkSession::authSignedBytes(LinkSession::rolePhone, channel_->transcript()));
        send(PhoneStep::auth, json{{"t", "auth"},
                                   {"pub", Base64::encode(me.publicX963())},
                                   {"sig", Base64::encode(sig)},
                                   {"id", me.id()},
                                   {"name", config_.name},
                                   {"platform", config_.platform}});
    }

    std::string receiveComputerAuth(std::string& name, json& whole) {
        const json auth = receive();
        const auto pub = Base64::decode(textOf(auth, "pub"));
        const auto sig = Base64::decode(textOf(auth, "sig"));
        if (textOf(auth, "t") != "auth" || !pub || !sig) throw PhoneStop{"esperava auth do computador"};
        if (!CXPCrypto::verify(
                *pub, LinkSession::authSignedBytes(LinkSession::roleComputer, channel_->transcript()),
                *sig)) {
            throw PhoneStop{"assinatura do computador inválida"};
        }
        const std::string id = CXPCrypto::deviceId(*pub);
        if (textOf(auth, "id") != id) throw PhoneStop{"id do computador não confere"};
        name = textOf(auth, "name");
        whole = auth;
        return id;
    }

    // Returns true when both sides accepted.
    bool pair(PhoneOutcome& out) {
        const json commit = receive();
        const auto commitment = Base64::decode(textOf(commit, "c"));
        // The literal the companion app expects, not the computer's constant, so a change there shows.
        if (textOf(commit, "t") != "pair.commit" || !commitment) throw PhoneStop{"esperava pair.commit"};
        const Bytes nonceServer = CXPCrypto::randomBytes(nonceBytes);
        send(PhoneStep::nonce, json{{"t", "pair.nonce"}, {"n", Base64::encode(nonceServer)}});

        const json reveal = receive();
        const auto nonceClient = Base64::decode(textOf(reveal, "n"));
        if (textOf(reveal, "t") != "pair.reveal" || !nonceClient) throw PhoneStop{"esperava pair.reveal"};
        // The nonces of both sides are 32 bytes; a shorter one would weaken the code, whatever it commits to.
        if (nonceClient->size() != nonceBytes) throw PhoneStop{"pair.reveal inválido"};
        if (SecureChannel::sasCommit(channel_->transcript(), *nonceClient) != *commitment) {
            channel_->send(Ch::control, encodeJSON(json{{"t", "error"}, {"code", "sas_commit_mismatch"}}));
            throw PhoneStop{"compromisso não confere"};
        }
        out.commitmentMatched = true;
        const std::string code = channel_->pairingCode(*nonceClient, nonceServer);
        out.shownCode = code;
        const bool accepted = config_.accept ? config_.accept(code) : false;
        send(PhoneStep::confirm, json{{"t", "pair.confirm"}, {"accept", accepted}});

        const json confirm = receive();
        if (textOf(confirm, "t") != "pair.confirm") throw PhoneStop{"esperava pair.confirm"};
        const auto answer = confirm.find("accept");
        out.computerAccepted = answer != confirm.end() && answer->is_boolean() && answer->get<bool>();
        return accepted && *out.computerAccepted;
    }

    void serveSession(PhoneOutcome& out) {
        for (;;) {
            Frame frame = channel_->receive();
            // The phone holds the computer to the per-channel limits, as the computer holds the phone.
            if (static_cast<std::int64_t>(frame.payload.size()) > Limits::recordMax(frame.channel)) {
                throw PhoneStop{"registro grande demais para o canal " + std::to_string(frame.channel)};
            }
            if (frame.channel != Ch::control) {
                out.records.push_back(std::move(frame));
                continue;
            }
            json message = decodeJSON(frame.payload, static_cast<std::size_t>(Limits::controlMax));
            if (config_.answerPings && textOf(message, "t") == "ping") {
                json pong{{"t", "pong"}};
                if (message.contains("seq")) pong["seq"] = message["seq"];
                channel_->send(Ch::control, encodeJSON(pong));
            }
            if (config_.onControl) config_.onControl(message);
            out.received.push_back(std::move(message));
        }
    }

    json receive() {
        const Frame frame = channel_->receive();
        if (frame.channel != Ch::control) throw PhoneStop{"canal inesperado"};
        return decodeJSON(frame.payload, static_cast<std::size_t>(Limits::controlMax));
    }

    void send(PhoneStep step, json message) {
        const auto fault = config_.faults.find(step);
        if (fault == config_.faults.end()) {
            channel_->send(Ch::control, encodeJSON(message));
            return;
        }
        const StepFault& f = fault->second;
        if (f.stall) {
            if (f.onStall) f.onStall();
            stall();
        }
        if (f.replace) message = *f.replace;
        if (f.edit) f.edit(message);
        const Bytes payload = f.rawPayload ? *f.rawPayload : encodeJSON(message);
        channel_->send(f.channel.value_or(Ch::control), payload);
    }

    // Reads and ignores until the other side or a test closes the link.
    [[noreturn]] void stall() {
        for (;;)
            (void)channel_->receive();
    }

    SimulatedPhone& phone_;
    const PhoneConfig& config_;
    std::shared_ptr<Transport> transport_;
    std::unique_ptr<SecureChannel> channel_;
};

}  // namespace

SimulatedPhone::SimulatedPhone(PhoneConfig config)
    : SimulatedPhone(std::move(config), P256PrivateKey::generate()) {}

SimulatedPhone::SimulatedPhone(PhoneConfig config, P256PrivateKey key)
    : identity_(config.name, config.platform, std::move(key)), config_(std::move(config)) {}

void SimulatedPhone::setConfig(PhoneConfig config) {
    std::lock_guard lock(mutex_);
    config_ = std::move(config);
}

PhoneConfig SimulatedPhone::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void SimulatedPhone::remember(const std::string& computerId) {
    std::lock_guard lock(mutex_);
    known_.insert(computerId);
}

bool SimulatedPhone::knows(const std::string& computerId) const {
    std::lock_guard lock(mutex_);
    return known_.contains(computerId);
}

PhoneOutcome SimulatedPhone::serve(std::shared_ptr<Transport> transport) {
    PhoneOutcome out;
    const PhoneConfig config = this->config();
    try {
        PhoneConnection connection(*this, config, transport);
        connection.run(out);
    } catch (const PhoneStop& stop) {
        out.error = stop.why;
    } catch (const CXPError& e) {
        // The other side hanging up is how every connection ends.
        if (e.kind() != CXPError::Kind::closed) out.error = e.what();
    } catch (const NetError& e) {
        // The same, noticed while the phone was writing.
        const bool hangUp =
            e.kind() == NetError::Kind::posix && (e.code() == EPIPE || e.code() == ECONNRESET);
        if (!hangUp) out.error = e.what();
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    transport->close();
    return out;
}

std::future<PhoneOutcome> SimulatedPhone::serveAsync(std::shared_ptr<Transport> transport) {
    return std::async(std::launch::async,
                      [this, transport = std::move(transport)] { return serve(transport); });
}

}  // namespace velmora
