#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/channel/frame.h"
#include "core/channel/secure_channel.h"
#include "core/crypto/cxp_crypto.h"
#include "core/crypto/p256_private_key.h"
#include "core/identity/identity.h"
#include "core/transport/transport.h"

namespace velmora {

// An identity whose key lives only in memory: the simulated phone's, and the computer's in tests that
// need no secret store. Immutable; any thread may sign.
class SoftwareIdentity final : public Identity {
  public:
    SoftwareIdentity(std::string deviceName, std::string platform,
                     P256PrivateKey key = P256PrivateKey::generate())
        : deviceName_(std::move(deviceName)),
          platform_(std::move(platform)),
          key_(std::move(key)),
          id_(CXPCrypto::deviceId(key_.publicX963())) {}

    const Bytes& publicX963() const override { return key_.publicX963(); }
    const std::string& deviceName() const override { return deviceName_; }
    const std::string& platform() const override { return platform_; }
    Bytes sign(ByteView data) const override { return key_.sign(data); }
    const std::string& id() const { return id_; }  // the device id of this key

  private:
    std::string deviceName_, platform_;
    P256PrivateKey key_;
    std::string id_;
};

// The sending side of one phone session, handed out once the session stands, for what the phone says on its
// own (a notification, a file, its screen's picture). Threads: any thread may send; records leave whole. Once
// the session has ended every send is refused (false), never an error.
class PhoneLink {
  public:
    explicit PhoneLink(std::shared_ptr<SecureChannel> channel) : channel_(std::move(channel)) {}

    bool send(std::uint8_t channel, ByteView payload);
    bool sendControl(const nlohmann::json& message);
    bool open() const { return !ended_.load(); }
    // Ends the session from the phone's side: the computer sees the link close.
    void hangUp();
    void ended() { ended_.store(true); }

  private:
    std::shared_ptr<SecureChannel> channel_;
    std::atomic<bool> ended_{false};
};

// The phone's sends during the opening, in wire order: its signed "auth"; its answer to the computer's
// ("ready", "pair.begin" or "error"); "pair.nonce"; "pair.confirm"; "ready" after an accepted pairing.
enum class PhoneStep : std::uint8_t { auth, answer, nonce, confirm, ready };

// How the phone misbehaves at one of its sends.
struct StepFault {
    // When set: called on the phone's thread, then the phone sends nothing and reads until the link closes.
    std::function<void()> stall = {};
    std::function<void(nlohmann::json&)> edit = {};  // changes or replaces the message before it goes
    std::optional<Bytes> rawPayload = {};            // sent instead of the message
    std::uint8_t channel = Ch::control;
};

struct PhoneConfig {
    std::string name = "Celular Simulado";
    // With a computer it does not know: "pair.begin" (true) or "error" with "not_paired" (false).
    bool readyToPair = true;
    // The user's answer on the phone's screen, given the code the phone shows.
    std::function<bool(const std::string& code)> accept = [](const std::string&) { return true; };
    std::map<PhoneStep, StepFault> faults = {};
    // Records sent as soon as the session stands, in order, on any channel.
    std::vector<Frame> afterReady = {};
    bool hangUpAfterRecords = false;  // right after those records, instead of serving the session
    // Told of each control message of the session as it arrives; a "ping" is answered with a "pong" anyway.
    std::function<void(const nlohmann::json&)> onControl = {};
    // The phone's answer to a control message of the session, sent in order once it returns (on the
    // phone's thread, which it may hold for a while).
    std::function<std::vector<nlohmann::json>(const nlohmann::json&)> answer = {};
    // Told of each record on another channel (file data, ...) as it arrives; the control messages it
    // returns are sent in order (a "file.done" once a file's last bytes are in, say).
    std::function<std::vector<nlohmann::json>(const Frame&)> onRecord = {};
    // Whether those records are kept in the outcome; a benchmark streaming a large file turns it off, so the
    // phone's memory does not grow by the whole file.
    bool keepRecords = true;
    // Records on any channel sent after that answer (a stream of video and sound after "mirror.start").
    std::function<std::vector<Frame>(const nlohmann::json&)> stream = {};
    // Called on the phone's thread just before each of those records goes (a benchmark paces and stamps).
    std::function<void(const Frame&)> beforeStreamRecord = {};
    // Told on the phone's thread once the session stands (before the `afterReady` records), with the link
    // that other threads may send on; and once that session has ended, whatever ended it.
    std::function<void(std::shared_ptr<PhoneLink>)> onReady = {};
    std::function<void()> onEnd = {};
    // Told of the computer's verified "auth" (its device id and the whole message) before the phone answers.
    std::function<void(const std::string& id, const nlohmann::json& auth)> onComputer = {};
    // Told once both users accepted a pairing with the computer `id`, before the phone sends "ready".
    std::function<void(const std::string& id)> onPaired = {};
};

// What the phone saw of one connection.
struct PhoneOutcome {
    nlohmann::json computerAuth;           // the computer's "auth" once verified, whole, as it arrived
    std::optional<std::string> shownCode;  // once the computer's commitment matched
    std::optional<bool> computerAccepted;
    bool sessionReady = false;             // the phone sent "ready"
    std::vector<nlohmann::json> received;  // control messages after "ready"
    std::vector<Frame> records;            // records on the other channels after "ready"
    std::string error;                     // why the phone stopped; empty when the link just closed
};

// The phone's side of the link protocol, for tests and benchmarks: it answers the computer as the
// companion app does and can misbehave at any of its steps. Threads: serve() runs on the caller's thread,
// one connection per call, several at once if need be; `mutex_` guards the config and the known computers.
class SimulatedPhone {
  public:
    explicit SimulatedPhone(PhoneConfig config = {}, P256PrivateKey key = P256PrivateKey::generate())
        : identity_(config.name, "android", std::move(key)), config_(std::move(config)) {}

    const SoftwareIdentity& identity() const { return identity_; }
    std::string id() const { return identity_.id(); }

    void setConfig(PhoneConfig config) {
        std::lock_guard lock(mutex_);
        config_ = std::move(config);
    }
    // The computers this phone counts as paired (its own store).
    void remember(const std::string& computerId) {
        std::lock_guard lock(mutex_);
        known_.insert(computerId);
    }
    bool knows(const std::string& computerId) const {
        std::lock_guard lock(mutex_);
        return known_.contains(computerId);
    }

    // While silent the phone answers nothing (no "pong"): a phone that has gone out of reach.
    void setSilent(bool silent) { silent_.store(silent); }
    bool silent() const { return silent_.load(); }

    // Answers one connection on `transport` until it ends, then closes it; never throws.
    PhoneOutcome serve(std::shared_ptr<Transport> transport);
    std::future<PhoneOutcome> serveAsync(std::shared_ptr<Transport> transport) {
        return std::async(std::launch::async, [this, transport] { return serve(transport); });
    }

  private:
    const SoftwareIdentity identity_;
    mutable std::mutex mutex_;
    PhoneConfig config_;
    std::set<std::string> known_;
    std::atomic<bool> silent_{false};
};

}  // namespace velmora
