// What the phone list asks of the model, as the user lives it: the lost body names the phone that was lost,
// cancelling an attempt ends it without another one following, and the card's switch away from a slow link
// reconnects even after such a cancel turned automatic connection off; after the user's disconnect the paired
// phone still in reach is listed as known, with its connect button.
#include <gtest/gtest.h>

#include "app/shell/logic/panel_state.h"
#include "app/shell/logic/phone_groups.h"
#include "app/shell/phones/list_rules.h"
#include "core/crypto/cxp_crypto.h"
#include "core/l10n/l10n.h"
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

TEST(PhoneListStory, TheLinkSwitchReconnectsAfterACancelTurnedAutomaticConnectionOff) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    model.cancelConnecting();  // nothing under way: automatic connection goes off all the same
    model.switchLink();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    h.advanceSettled(AppModel::reconnectDelay + 0.5);
    ASSERT_TRUE(h.pumpUntil(Kind::connected)) << "the connection manager picks the next link";
    EXPECT_EQ(h.journal->count("tcp 127.0.0.1:40001"), 2);
    // The user's own disconnect still ends it for good.
    model.disconnect();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    h.advanceSettled(60);
    EXPECT_EQ(h.journal->count("tcp 127.0.0.1:40001"), 2);
}

TEST(PhoneListStory, AfterDisconnectThePairedPhoneInReachIsListedWithItsConnectButton) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    model.disconnect();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    h.advanceSettled(10);  // the cable list polls on; no automatic attempt follows
    ASSERT_EQ(model.state().state.kind(), Kind::idle);

    PanelInputs in;
    in.state = model.state();
    in.isPaired = [&](const DiscoveredPhone& phone) { return model.isPaired(phone); };
    const auto groups = phoneGroups(in);
    ASSERT_EQ(panelState(in, groups).kind, PanelState::Kind::found);
    std::vector<ListedPhone> listed;
    for (const auto& group : groups)
        listed.push_back({group.id, group.best, group.paired});
    const PhoneQueries ask{[&](const DiscoveredPhone& p) { return model.isPaired(p); },
                           [&](const DiscoveredPhone& p) { return model.pairFlag(p); }};
    const FoundView found = phoneListValues(ListBody::found, in.state, listed, ask, false).found;
    ASSERT_EQ(found.known.size(), 1u);
    EXPECT_TRUE(found.fresh.empty());
    const PhoneRowView& row = found.known.front();
    EXPECT_EQ(row.buttonLabel, L10n::string("panel.phone.connect"));
    EXPECT_TRUE(row.enabled && row.primaryButton);
    model.connectTo(row.phone);  // the row's button
    EXPECT_TRUE(h.pumpUntil(Kind::connected));
}

}  // namespace
}  // namespace velmora
