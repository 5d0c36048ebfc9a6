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
};

// Changes the phone's message at `step` before it goes.
std::function<void(Scene&)> at(PhoneStep step, std::function<void(json&)> edit) {
    return [=](Scene& s) { s.config.faults[step].edit = edit; };
}

std::function<void(Scene&)> instead(PhoneStep step, json message) {
    return at(step, [message](json& m) { m = message; });
}

std::function<void(Scene&)> nonce(json n) {
    return at(PhoneStep::nonce, [n](json& m) { m["n"] = n; });
}

std::string upper(std::string s) {
    std::ranges::transform(s, s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

const std::string protocol = "protocolError: ";
const std::string rejected = "rejected: ";

const std::vector<Row> kRows = {
    {"AuthOnTheVideoChannel", [](Scene& s) { s.config.faults[PhoneStep::auth].channel = Ch::video; },
     protocol + "canal inesperado durante o handshake"},
    {"AnswerThatIsNotJson", [](Scene& s) { s.config.faults[PhoneStep::answer].rawPayload = Bytes{'{'}; },
     protocol + "mensagem inválida (JSON)"},
    // The first message is not a well-formed "auth", does not verify, or names another key.
    {"FirstMessageOfAnotherType", instead(PhoneStep::auth, {{"t", "hello"}}), protocol + "esperava auth"},
    {"AnotherKeyThanTheSigners",
     at(PhoneStep::auth,
        [](json& m) {
            const Bytes other = P256PrivateKey::generate().publicX963();
            m["pub"] = Base64::encode(other);
            m["id"] = CXPCrypto::deviceId(other);
        }),
     protocol + "assinatura inválida"},
    {"IdInUpperCase", at(PhoneStep::auth, [](json& m) { m["id"] = upper(m["id"].get<std::string>()); }),
     protocol + "id não confere com a chave"},
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
     protocol + "o servidor me considera pareado, mas eu não o conheço"},
    {"SasInUpperCase", at(PhoneStep::answer, [](json& m) { m["sas"] = "CR1"; }),
     rejected + "pair_upgrade_required"},
    {"PhoneNotReadyToPair", [](Scene& s) { s.config.readyToPair = false; }, rejected + "not_paired"},
    {"AnswerOfAnUnknownType", instead(PhoneStep::answer, {{"t", "bye"}}), rejected + "bye"},
    // The pairing exchange.
    {"ErrorInsteadOfTheNonce", instead(PhoneStep::nonce, {{"t", "error"}, {"code", "sas_commit_mismatch"}}),
     rejected + "sas_commit_mismatch"},
    {"RevealInsteadOfTheNonce", instead(PhoneStep::nonce, {{"t", "pair.reveal"}}),
     protocol + "esperava pair.nonce"},
    {"NonceTextOf65Characters", nonce(std::string(65, 'A')), protocol + "pair.nonce inválido"},
    {"NonceOf33Bytes", nonce(Base64::encode(Bytes(33, 1))), protocol + "pair.nonce inválido"},
    {"ErrorInsteadOfTheConfirmation", instead(PhoneStep::confirm, {{"t", "error"}, {"code", "busy"}}),
     rejected + "busy"},
    {"ReadyInsteadOfTheConfirmation", instead(PhoneStep::confirm, {{"t", "ready"}}),
     protocol + "esperava pair.confirm"},
    // Only a JSON true from the phone is a yes.
    {"AcceptAsTheNumber1", at(PhoneStep::confirm, [](json& m) { m["accept"] = 1; }),
     rejected + "pareamento recusado"},
};

class SessionRefusals : public ::testing::TestWithParam<Row> {};

TEST_P(SessionRefusals, EndWithTheirOwnErrorAndChangeNoStoredPeer) {
    Scene s;
    GetParam().arrange(s);
    s.phone.setConfig(s.config);
    const auto before = s.store.snapshot();
    OpenAttempt a = openSession(s.phone, s.computer, s.store, s.options);
    EXPECT_FALSE(a.session);
    EXPECT_EQ(a.errorText(), GetParam().error);
    a.finish();
    EXPECT_EQ(s.store.saves(), 0);
    EXPECT_EQ(s.store.snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Rows, SessionRefusals, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(SessionRefusals, NoReadyAfterAnAcceptedPairingKeepsTheNewPeerSaved) {
    Scene s;
    s.phone.setConfig({.faults = {{PhoneStep::ready, {.edit = [](json& m) { m = {{"t", "error"}}; }}}}});
    OpenAttempt a = openSession(s.phone, s.computer, s.store);
    EXPECT_EQ(a.errorText(), protocol + "pareamento não concluído");
    a.finish();
    EXPECT_EQ(s.store.saves(), 1);
    EXPECT_EQ(s.store.snapshot().at(s.phone.id()), peerOf(s.phone));
}

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
    CountingTransport(std::shared_ptr<Transport> inner, std::shared_ptr<Starving> s, bool computer)
        : inner_(std::move(inner)), s_(std::move(s)), computer_(computer) {}

    Bytes readExactly(std::size_t n) override {
        if (computer_) s_->add(&Starving::asked, n);
        return inner_->readExactly(n);
    }
    void write(ByteView data) override {
        inner_->write(data);
        if (!computer_) s_->add(&Starving::written, data.size());
    }
    void close() noexcept override { inner_->close(); }

  private:
    std::shared_ptr<Transport> inner_;
    std::shared_ptr<Starving> s_;
    bool computer_;
};

class SessionStalls : public ::testing::TestWithParam<PhoneStep> {};

// Nothing is stored unless both sides had already accepted.
TEST_P(SessionStalls, ClosingTheTransportEndsTheOpening) {
    auto starving = std::make_shared<Starving>();
    Scene s;
    s.config.faults[GetParam()] = {.stall = true,
                                   .onStall = [starving] { starving->add(&Starving::stalls, 1); }};
    s.phone.setConfig(s.config);
    s.options.wrap = [starving](LinkEnds& ends) {
        ends.computer = std::make_shared<CountingTransport>(ends.computer, starving, true);
        ends.phone = std::make_shared<CountingTransport>(ends.phone, starving, false);
        std::lock_guard lock(starving->mutex);
        starving->computer = ends.computer;
    };
    auto opening =
        std::async(std::launch::async, [&] { return openSession(s.phone, s.computer, s.store, s.options); });
    {
        std::unique_lock lock(starving->mutex);
        // The bound only keeps a broken opening from hanging the run.
        EXPECT_TRUE(starving->changed.wait_for(lock, std::chrono::minutes(2), [&] {
            return starving->stalls == 1 && starving->asked > starving->written;
        }));
        if (starving->computer) starving->computer->close();
    }
    OpenAttempt a = opening.get();
    EXPECT_FALSE(a.session);
    EXPECT_EQ(a.errorText(), "closed");
    a.finish();
    EXPECT_EQ(s.store.saves(), GetParam() == PhoneStep::ready ? 1 : 0);
}

const char* const kStepNames[] = {"Auth", "Answer", "Nonce", "Confirm", "Ready"};

INSTANTIATE_TEST_SUITE_P(Steps, SessionStalls,
                         ::testing::Values(PhoneStep::auth, PhoneStep::answer, PhoneStep::nonce,
                                           PhoneStep::confirm, PhoneStep::ready),
                         [](const auto& info) {
                             return std::string(kStepNames[static_cast<int>(info.param)]);
                         });

}  // namespace
}  // namespace velmora
