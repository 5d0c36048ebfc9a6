// What the phone list asks of the model, as the user lives it: the lost body names the phone that was lost,
// and cancelling an attempt ends it without another one following.
#include <gtest/gtest.h>

#include "app/shell/phones/list_rules.h"
#include "core/crypto/cxp_crypto.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;

TEST(PhoneListStory, TheLostBodyNamesThePhoneThatWasLostNotTheFirstPaired) {
    ModelHarness h;
    // Another paired phone that the store lists first (it lists by id).
    Peer alpha{"", {}, "Alpha", "android"};
    while (alpha.id.empty() || alpha.id > h.phone.id()) {
        alpha.pub = P256PrivateKey::generate().publicX963();
        alpha.id = CXPCrypto::deviceId(alpha.pub);
    }
    FilePeerStore(h.dir.path() / "peers.json").save(alpha);
    h.pairBothSides();
    AppModel& model = h.start();
    ASSERT_EQ(model.state().paired.front().name, "Alpha");
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    const std::string connectedTo = model.state().state.label();  // the name the phone gave itself
    h.hangUp();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    h.advanceSettled(45.1);
    ASSERT_TRUE(model.state().phoneLost);
    EXPECT_EQ(lostPhoneName(model.state().lostPeerName, model.state().paired), connectedTo);
}

TEST(PhoneListStory, CancelEndsTheAttemptAndNoAutomaticOneFollows) {
    PhoneConfig config;
    config.faults[PhoneStep::auth].stall = [] {};  // the handshake hangs until the transport closes
    ModelHarness h(config);
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_EQ(model.state().state.kind(), Kind::connecting);
    ASSERT_EQ(h.journal->waitFor("server.accepted"), "server.accepted");
    model.cancelConnecting();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    EXPECT_NE(h.log().find("conexão cancelada pelo usuário"), std::string::npos);
    h.advanceSettled(60);
    EXPECT_EQ(h.journal->count("tcp 127.0.0.1:40001"), 1);
    EXPECT_FALSE(model.state().phoneLost);
    // With nothing under way the cancel writes its line and changes nothing else.
    model.cancelConnecting();
    EXPECT_EQ(model.state().state.kind(), Kind::idle);
}

}  // namespace
}  // namespace velmora
