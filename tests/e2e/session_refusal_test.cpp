// Every way the phone can break the opening ends in the protocol's own error and leaves the paired phones
// as they were; a phone that stops answering never hangs the computer.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "core/crypto/base64.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

using nlohmann::json;

struct Scene {
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    SimulatedPhone phone;
    PhoneConfig config;
    OpenOptions options;
};

struct Row {
    const char* what;
    std::function<void(Scene&)> arrange;
    std::string error;
    int saves = 0;
};

using enum PhoneStep;

// Changes the phone's message at `step` before it goes.
std::function<void(Scene&)> at(PhoneStep step, std::function<void(json&)> edit) {
    return [=](Scene& s) { s.config.faults[step].edit = edit; };
}

std::function<void(Scene&)> instead(PhoneStep step, json message) {
    return at(step, [message](json& m) { m = message; });
}

std::string upper(std::string s) {
    std::ranges::transform(s, s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// Adds `extra` bytes to the base64 member `key` of the phone's "auth". 88 characters hold the 65-byte key
// or the 64-byte signature: a longer text is refused before decoding, a wrong size after.
std::function<void(Scene&)> longer(const char* key, std::size_t extra) {
    return at(auth, [=](json& m) {
        Bytes bytes = *Base64::decode(m[key].get<std::string>());
        bytes.resize(bytes.size() + extra, 0x04);
        m[key] = Base64::encode(bytes);
    });
}

const auto P = [](const char* text) { return "protocolError: " + std::string(text); };
const auto R = [](const char* text) { return "rejected: " + std::string(text); };

const std::vector<Row> kRows = {
    {"AuthOnTheVideoChannel", [](Scene& s) { s.config.faults[auth].channel = Ch::video; },
     P("canal inesperado durante o handshake")},
    {"AnswerNotJson", [](Scene& s) { s.config.faults[answer].rawPayload = Bytes{'{'}; },
     P("mensagem inválida (JSON)")},
    // The first message is not a well-formed "auth", does not verify, or claims another key's id.
    {"FirstMessageOfAnotherType", instead(auth, {{"t", "hello"}}), P("esperava auth")},
    {"SignatureThatDoesNotVerify", at(auth, [](json& m) { m["sig"] = Base64::encode(Bytes(64, 1)); }),
     P("assinatura inválida")},
    {"IdInUpperCase", at(auth, [](json& m) { m["id"] = upper(m["id"]); }), P("id não confere com a chave")},
    {"KeyOf66Bytes", longer("pub", 1), P("assinatura inválida")},
    {"KeyTextOf92Characters", longer("pub", 2), P("esperava auth")},
    {"SignatureOf65Bytes", longer("sig", 1), P("assinatura inválida")},
    {"SignatureTextOf92Characters", longer("sig", 3), P("esperava auth")},
    // The phone is not the one asked for, or not allowed without the user.
    {"EmptyExpectedPrefix", [](Scene& s) { s.options.expected = ""; }, "unexpectedPeer"},
    {"ExpectedIdInUpperCase", [](Scene& s) { s.options.expected = upper(s.phone.id()); }, "unexpectedPeer"},
    {"AutomaticToAnUnknownPhone", [](Scene& s) { s.options.userInitiated = false; }, "unknownPeer"},
    {"AutomaticToAPhoneStoredWithAnotherKey",
     [](Scene& s) {
         s.options.userInitiated = false;
         s.phone.remember(s.computer.id());
         s.store.put({s.phone.id(), P256PrivateKey::generate().publicX963(), "Impostor", "android"});
     },
     "unknownPeer"},
    // The answer to the computer's "auth".
    {"ReadyFromAPhoneNeverPaired", [](Scene& s) { s.phone.remember(s.computer.id()); },
     P("o servidor me considera pareado, mas eu não o conheço")},
    {"SasInUpperCase", at(answer, [](json& m) { m["sas"] = "CR1"; }), R("pair_upgrade_required")},
    {"PhoneNotReadyToPair", [](Scene& s) { s.config.readyToPair = false; }, R("not_paired")},
    {"AnswerOfAnUnknownType", instead(answer, {{"t", "bye"}}), R("bye")},
    // The pairing exchange; only a JSON true from the phone is a yes.
    {"ErrorForNonce", instead(nonce, {{"t", "error"}, {"code", "sas_commit_mismatch"}}),
     R("sas_commit_mismatch")},
    {"RevealForNonce", instead(nonce, {{"t", "pair.reveal"}}), P("esperava pair.nonce")},
    {"NonceTextOf65", at(nonce, [](json& m) { m["n"] = std::string(65, 'A'); }), P("pair.nonce inválido")},
    {"NonceOf33Bytes", at(nonce, [](json& m) { m["n"] = Base64::encode(Bytes(33, 1)); }),
     P("pair.nonce inválido")},
    {"ErrorForConfirmation", instead(confirm, {{"t", "error"}, {"code", "busy"}}), R("busy")},
    {"ReadyForConfirmation", instead(confirm, {{"t", "ready"}}), P("esperava pair.confirm")},
    {"AcceptAsTheNumber1", at(confirm, [](json& m) { m["accept"] = 1; }), R("pareamento recusado")},
    // Both users accepted, so the phone is stored before its "ready" is due.
    {"NoReadyAfterAnAcceptedPairing", instead(ready, {{"t", "error"}}), P("pareamento não concluído"), 1},
};

class SessionRefusals : public ::testing::TestWithParam<Row> {};

TEST_P(SessionRefusals, EndWithTheirOwnErrorAndStoreNothingUnlessBothUsersAccepted) {
    Scene s;
    GetParam().arrange(s);
    s.phone.setConfig(s.config);
    auto expected = s.store.snapshot();
    if (GetParam().saves) expected[s.phone.id()] = peerOf(s.phone);
    OpenAttempt a = openSession(s.phone, s.computer, s.store, s.options);
    EXPECT_FALSE(a.session);
    EXPECT_EQ(a.errorText(), GetParam().error);
    a.finish();
    EXPECT_EQ(s.store.saves(), GetParam().saves);
    EXPECT_EQ(s.store.snapshot(), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SessionRefusals, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.what); });

// Both ends of the link, counted: once the phone has stalled and the computer has asked for more bytes
// than the phone ever wrote, the computer waits in a read that only a close can end.
struct Starving {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t asked = 0, written = 0, stalls = 0;
    std::shared_ptr<Transport> computer;

    void add(std::size_t Starving::*counter, std::size_t n) {
        {
            std::lock_guard lock(mutex);
            this->*counter += n;
        }
        changed.notify_all();
    }
};

class CountingTransport final : public Transport {
  public:
    CountingTransport(std::shared_ptr<Transport> inner, Starving& s, bool computer)
        : inner_(std::move(inner)), s_(s), computer_(computer) {}

    Bytes readExactly(std::size_t n) override {
        if (computer_) s_.add(&Starving::asked, n);
        return inner_->readExactly(n);
    }
    void write(ByteView data) override {
        inner_->write(data);
        if (!computer_) s_.add(&Starving::written, data.size());
    }
    void close() noexcept override { inner_->close(); }

  private:
    std::shared_ptr<Transport> inner_;
    Starving& s_;
    bool computer_;
};

class SessionStalls : public ::testing::TestWithParam<std::pair<PhoneStep, const char*>> {};

// Nothing is stored unless both sides had already accepted.
TEST_P(SessionStalls, ClosingTheTransportEndsTheOpening) {
    Starving starving;
    Scene s;
    s.config.faults[GetParam().first].stall = [&] { starving.add(&Starving::stalls, 1); };
    s.phone.setConfig(s.config);
    s.options.wrap = [&](LinkEnds& ends) {
        ends.computer = std::make_shared<CountingTransport>(ends.computer, starving, true);
        ends.phone = std::make_shared<CountingTransport>(ends.phone, starving, false);
        std::lock_guard lock(starving.mutex);
        starving.computer = ends.computer;
    };
    auto opening =
        std::async(std::launch::async, [&] { return openSession(s.phone, s.computer, s.store, s.options); });
    {
        std::unique_lock lock(starving.mutex);
        // The bound only keeps a broken opening from hanging the run.
        EXPECT_TRUE(starving.changed.wait_for(lock, std::chrono::minutes(2), [&] {
            return starving.stalls == 1 && starving.asked > starving.written;
        }));
        if (starving.computer) starving.computer->close();
    }
    OpenAttempt a = opening.get();
    EXPECT_FALSE(a.session);
    EXPECT_EQ(a.errorText(), "closed");
    a.finish();
    EXPECT_EQ(s.store.saves(), GetParam().first == ready ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, SessionStalls,
                         ::testing::Values(std::pair{auth, "Auth"}, std::pair{answer, "Answer"},
                                           std::pair{nonce, "Nonce"}, std::pair{confirm, "Confirm"},
                                           std::pair{ready, "Ready"}),
                         [](const auto& info) { return std::string(info.param.second); });

}  // namespace
}  // namespace velmora
