#pragma once

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

#include "core/bytes.h"
#include "core/channel/frame.h"
#include "core/transport/transport.h"
#include "support/software_identity.h"

namespace velmora {

// The phone's sends during the opening, in their order on the wire.
enum class PhoneStep : std::uint8_t {
    auth,     // the phone's signed "auth"
    answer,   // its answer to the computer's "auth": "ready", "pair.begin" or "error"
    nonce,    // "pair.nonce"
    confirm,  // "pair.confirm"
    ready,    // "ready" after a pairing both sides accepted
};

// How the phone misbehaves at one of its sends. The first that is set wins: stall, raw payload,
// replacement; `edit` then `channel` apply to the message the phone would have sent.
struct StepFault {
    bool stall = false;                              // send nothing; wait until the link is closed
    std::function<void()> onStall = {};              // told (on the phone's thread) when the stall begins
    std::optional<Bytes> rawPayload = {};            // send these bytes as the payload
    std::optional<nlohmann::json> replace = {};      // send this message instead
    std::function<void(nlohmann::json&)> edit = {};  // change the message before it goes
    std::optional<std::uint8_t> channel = {};        // send on this channel instead of control
};

struct PhoneRecord {
    std::uint8_t channel;
    Bytes payload;
};

struct PhoneConfig {
    std::string name = "Celular Simulado";
    std::string platform = "android";
    // With a computer it does not know: "pair.begin" (true) or "error" with "not_paired" (false).
    bool readyToPair = true;
    // "pair.begin" even with a computer it knows.
    bool alwaysPair = false;
    std::string sas = "cr1";
    // The user's answer on the phone's screen, given the code the phone shows.
    std::function<bool(const std::string& code)> accept = [](const std::string&) { return true; };
    std::map<PhoneStep, StepFault> faults;
    // Records sent as soon as the session stands, in order.
    std::vector<PhoneRecord> afterReady;
    // Bytes written straight onto the link after those records, past the record layer (forged records).
    std::vector<Bytes> wireAfterRecords;
    // Hangs up right after those records instead of serving the session.
    bool hangUpAfterRecords = false;
    // Answers {"t":"ping","seq":n} with {"t":"pong","seq":n}.
    bool answerPings = true;
    // Told of each control message from the computer once the session stands, as it arrives.
    std::function<void(const nlohmann::json&)> onControl;
};

// What the phone saw of one connection.
struct PhoneOutcome {
    std::string computerId;  // from a verified "auth"; empty when none arrived
    std::string computerName;
    nlohmann::json computerAuth;  // the computer's verified "auth", whole, as it arrived
    std::optional<std::string> shownCode;
    std::optional<bool> computerAccepted;
    bool commitmentMatched = false;
    bool sessionReady = false;             // the phone sent "ready"
    std::vector<nlohmann::json> received;  // control messages after "ready"
    std::vector<Frame> records;            // records on the other channels after "ready"
    std::string error;                     // why the phone stopped; empty when the link just closed
};

// The phone's side of the link protocol, for tests and benchmarks: it answers the computer as the
// companion app does and can misbehave at any of its steps.
//
// Threads: serve() runs on the caller's thread (one connection at a time per call; several calls
// may run at once). The config and the list of known computers are guarded by `mutex_`.
class SimulatedPhone {
  public:
    explicit SimulatedPhone(PhoneConfig config = {});
    SimulatedPhone(PhoneConfig config, P256PrivateKey key);

    const SoftwareIdentity& identity() const { return identity_; }
    std::string id() const { return identity_.id(); }

    void setConfig(PhoneConfig config);
    // The computers this phone counts as paired (its own store).
    void remember(const std::string& computerId);
    bool knows(const std::string& computerId) const;

    // Answers one connection on `transport` until it ends; never throws.
    PhoneOutcome serve(std::shared_ptr<Transport> transport);
    // serve() on a thread of its own.
    std::future<PhoneOutcome> serveAsync(std::shared_ptr<Transport> transport);

  private:
    PhoneConfig config() const;

    const SoftwareIdentity identity_;
    mutable std::mutex mutex_;
    PhoneConfig config_;
    std::set<std::string> known_;
};

}  // namespace velmora
