// The opening roads of a session against the simulated phone, over a socketpair and over loopback TCP.

#include <gtest/gtest.h>

#include "core/crypto/base64.h"
#include "core/protocol/cxp_error.h"
#include "support/memory_peer_store.h"
#include "support/session_harness.h"
#include "support/software_identity.h"

namespace velmora {
namespace {

OpenOptions refusingCode() {
    OpenOptions o;
    o.acceptCode = false;
    return o;
}

OpenOptions automatic() {
    OpenOptions o;
    o.userInitiated = false;
    return o;
}

class SessionRoads : public ::testing::TestWithParam<LinkKind> {
  protected:
    OpenAttempt open(OpenOptions options = {}) {
        options.link = GetParam();
        return openSession(phone, computer, store, options);
    }

    SoftwareIdentity computer{"Estação de trabalho", "mac"};
    MemoryPeerStore store;
    SimulatedPhone phone;
};

// Also checks the computer's "auth" as the phone received it: exactly the members the companion app
// reads, in their wire forms (strict base64 without line breaks, the raw 64-byte signature, the id).
TEST_P(SessionRoads, PairingShowsTheSameCodeOnBothScreensAndStoresThePhone) {
    OpenAttempt a = open();
    ASSERT_TRUE(a.session) << a.errorText();
    EXPECT_TRUE(a.session->newlyPaired());
    EXPECT_FALSE(a.session->closed());
    EXPECT_FALSE(a.session->peerSaveFailed());
    EXPECT_EQ(a.session->transportKind(), "tcp");
    EXPECT_EQ(a.session->peerCaps(), std::nullopt);
    EXPECT_FALSE(a.session->channel().preAuth());
    EXPECT_EQ(a.session->peer(), peerOf(phone));
    EXPECT_EQ(store.snapshot().at(phone.id()), peerOf(phone));
    EXPECT_EQ(store.saves(), 1);

    const PhoneOutcome seen = a.finish();
    EXPECT_EQ(seen.error, "");
    EXPECT_TRUE(seen.commitmentMatched);
    ASSERT_TRUE(a.codeShown && seen.shownCode);
    EXPECT_EQ(*a.codeShown, *seen.shownCode);
    EXPECT_EQ(a.codeShown->size(), 6u);
    EXPECT_EQ(seen.computerId, computer.id());
    EXPECT_TRUE(phone.knows(computer.id()));

    const nlohmann::json& auth = seen.computerAuth;
    std::vector<std::string> keys;
    for (auto it = auth.begin(); it != auth.end(); ++it)
        keys.push_back(it.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"id", "name", "platform", "pub", "sig", "t"}));
    EXPECT_EQ(auth.value("t", ""), "auth");
    EXPECT_EQ(auth.value("pub", ""), Base64::encode(computer.publicX963()));
    const auto signature = Base64::decode(auth.value("sig", ""));
    ASSERT_TRUE(signature.has_value());
    EXPECT_EQ(signature->size(), 64u);
    EXPECT_EQ(auth.value("id", ""), computer.id());
    EXPECT_EQ(auth.value("name", ""), "Estação de trabalho");
    EXPECT_EQ(seen.computerName, "Estação de trabalho");
    EXPECT_EQ(auth.value("platform", ""), "mac");
}

// Either user refusing the code ends the opening with the same error and stores nothing on either side;
// the computer's answer still went out as a JSON boolean after the code was shown on both sides.
TEST_P(SessionRoads, EitherUserRefusingTheCodeStoresNothing) {
    for (const bool computerRefuses : {true, false}) {
        SCOPED_TRACE(computerRefuses ? "computer refuses" : "phone refuses");
        PhoneConfig config;
        if (!computerRefuses) config.accept = [](const std::string&) { return false; };
        phone.setConfig(config);
        OpenAttempt a = open(computerRefuses ? refusingCode() : OpenOptions{});
        ASSERT_FALSE(a.session);
        EXPECT_EQ(a.errorText(), "rejected: pareamento recusado");
        const PhoneOutcome seen = a.finish();
        EXPECT_EQ(seen.computerAccepted, !computerRefuses);
        EXPECT_TRUE(a.codeShown.has_value());
        EXPECT_EQ(store.saves(), 0);
        EXPECT_TRUE(store.snapshot().empty());
        EXPECT_FALSE(phone.knows(computer.id()));
    }
}

TEST_P(SessionRoads, KnownPhoneSaysReadyAndItsCurrentNameIsUsedWithoutRewritingTheStore) {
    store.put(peerOf(phone, "Nome antigo"));
    phone.remember(computer.id());
    OpenAttempt a = open(automatic());
    ASSERT_TRUE(a.session) << a.errorText();
    EXPECT_FALSE(a.session->newlyPaired());
    EXPECT_EQ(a.session->peer().name, "Celular Simulado");
    EXPECT_EQ(store.snapshot().at(phone.id()).name, "Nome antigo");
    EXPECT_EQ(store.saves(), 0);
    EXPECT_FALSE(a.codeShown.has_value());
    EXPECT_EQ(a.finish().error, "");
}

TEST_P(SessionRoads, SecondSessionAfterPairingFindsTheStoredPeer) {
    OpenAttempt first = open();
    ASSERT_TRUE(first.session) << first.errorText();
    first.finish();

    OpenAttempt second = open(automatic());
    ASSERT_TRUE(second.session) << second.errorText();
    EXPECT_FALSE(second.session->newlyPaired());
    EXPECT_EQ(second.session->peer(), peerOf(phone));
    EXPECT_FALSE(second.codeShown.has_value());
    EXPECT_EQ(store.saves(), 1);
    second.finish();
}

TEST_P(SessionRoads, KnownPhoneMayStillAskToPairAndThePromptDecides) {
    store.put(peerOf(phone));
    phone.remember(computer.id());
    PhoneConfig config;
    config.alwaysPair = true;
    phone.setConfig(config);
    OpenAttempt refused = open(refusingCode());
    EXPECT_EQ(refused.errorText(), "rejected: pareamento recusado");
    refused.finish();
    OpenAttempt accepted = open();
    ASSERT_TRUE(accepted.session) << accepted.errorText();
    EXPECT_TRUE(accepted.session->newlyPaired());
    accepted.finish();
}

INSTANTIATE_TEST_SUITE_P(Links, SessionRoads, ::testing::Values(LinkKind::socketPair, LinkKind::loopbackTcp),
                         [](const auto& info) { return linkName(info.param); });

TEST(SessionOpening, FailedDurableSaveIsReportedOnTheSession) {
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    store.failWrites(true);
    SimulatedPhone phone;
    OpenAttempt a = openSession(phone, computer, store);
    ASSERT_TRUE(a.session) << a.errorText();
    EXPECT_TRUE(a.session->newlyPaired());
    EXPECT_TRUE(a.session->peerSaveFailed());
    // Kept in memory all the same, so this run of the application still knows the phone.
    EXPECT_TRUE(store.find(phone.id()).has_value());
    a.finish();
}

}  // namespace
}  // namespace velmora
