// The opening roads of a session against the simulated phone, over a socketpair (the model's tests take
// loopback TCP).

#include <gtest/gtest.h>

#include "core/crypto/base64.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

using nlohmann::json;

class SessionRoads : public ::testing::Test {
  protected:
    OpenAttempt open(OpenOptions options = {}) { return openSession(phone, computer, store, options); }

    SoftwareIdentity computer{"Estação de trabalho", "mac"};
    MemoryPeerStore store;
    SimulatedPhone phone;
};

// Pairing shows the same code on both screens and each side keeps the other; the next opening finds the
// phone known and takes the name it gives now, without writing the store again.
TEST_F(SessionRoads, PairingThenTheKnownPhoneRoad) {
    OpenAttempt a = open({.expected = phone.id().substr(0, 16)});
    ASSERT_TRUE(a.session) << a.errorText();
    EXPECT_TRUE(a.session->newlyPaired());
    EXPECT_FALSE(a.session->peerSaveFailed());
    EXPECT_FALSE(a.session->channel().preAuth());
    EXPECT_EQ(a.session->peer(), peerOf(phone));
    EXPECT_EQ(store.snapshot(), (std::map<std::string, Peer>{{phone.id(), peerOf(phone)}}));
    EXPECT_EQ(store.saves(), 1);
    const PhoneOutcome seen = a.finish();
    EXPECT_EQ(seen.error, "");
    ASSERT_TRUE(a.codeShown);
    EXPECT_EQ(a.codeShown, seen.shownCode);
    EXPECT_EQ(a.codeShown->size(), 6u);
    EXPECT_TRUE(phone.knows(computer.id()));
    // The computer's "auth" as the phone received it (and verified it): exactly the members the companion
    // app reads, the signature raw, all in strict base64.
    json auth = seen.computerAuth;
    EXPECT_EQ(Base64::decode(auth.value("sig", "")).value_or(Bytes()).size(), 64u);
    auth.erase("sig");
    EXPECT_EQ(auth, (json{{"t", "auth"},
                          {"pub", Base64::encode(computer.publicX963())},
                          {"id", computer.id()},
                          {"name", "Estação de trabalho"},
                          {"platform", "mac"}}));

    phone.setConfig({.name = "Nome novo"});
    OpenAttempt again = open({.expected = phone.id(), .userInitiated = false});
    ASSERT_TRUE(again.session) << again.errorText();
    EXPECT_FALSE(again.session->newlyPaired());
    EXPECT_EQ(again.session->peer().name, "Nome novo");
    EXPECT_FALSE(again.codeShown);
    EXPECT_EQ(store.snapshot().at(phone.id()).name, "Celular Simulado");
    EXPECT_EQ(store.saves(), 1);
    EXPECT_EQ(again.finish().error, "");
}

// A phone that lost its pairing asks again while the computer still holds its old entry. Either user
// refusing the code ends the opening with the same error and leaves both sides as they were; the computer's
// answer still went out as a JSON boolean after the code was shown on both screens. An acceptance replaces
// the entry, and a failed durable save still lets this run of the application know the phone.
TEST_F(SessionRoads, PairingAgainIsUpToBothUsersAndAFailedSaveIsReported) {
    store.put(peerOf(phone, "Nome antigo"));
    const auto before = store.snapshot();
    for (const bool computerRefuses : {true, false}) {
        SCOPED_TRACE(computerRefuses ? "computer refuses" : "phone refuses");
        phone.setConfig({.accept = [=](const std::string&) { return computerRefuses; }});
        OpenAttempt a = open({.acceptCode = !computerRefuses});
        EXPECT_EQ(a.errorText(), "rejected: pareamento recusado");
        const PhoneOutcome seen = a.finish();
        EXPECT_EQ(seen.computerAccepted, !computerRefuses);
        EXPECT_TRUE(a.codeShown && seen.shownCode);
        EXPECT_EQ(store.snapshot(), before);
        EXPECT_FALSE(phone.knows(computer.id()));
    }
    phone.setConfig({});
    store.failWrites();
    OpenAttempt accepted = open();
    ASSERT_TRUE(accepted.session) << accepted.errorText();
    EXPECT_TRUE(accepted.session->newlyPaired());
    EXPECT_TRUE(accepted.session->peerSaveFailed());
    EXPECT_EQ(store.find(phone.id()), peerOf(phone));
    accepted.finish();
}

}  // namespace
}  // namespace velmora
