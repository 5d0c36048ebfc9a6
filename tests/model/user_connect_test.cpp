// The user's own connections: a typed address, a phone picked in the list (found by the browser or on the
// cable), over loopback TCP against the simulated phone.
#include <gtest/gtest.h>

#include "app/model/discovery/manual_address.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;

TEST(ManualAddress, HostAndPortFollowTheTypedText) {
    struct Row {
        const char* text;
        std::optional<TcpEndpoint> want;
    };
    const Row rows[] = {
        {"192.168.1.20", TcpEndpoint{"192.168.1.20", 47625}},
        {"192.168.1.20:50000", TcpEndpoint{"192.168.1.20", 50000}},
        {"192.168.1.20:abc", TcpEndpoint{"192.168.1.20", 47625}},
        {"192.168.1.20:70000", TcpEndpoint{"192.168.1.20", 47625}},
        {"192.168.1.20:0", TcpEndpoint{"192.168.1.20", 47625}},  // port 0 could only fail
        {"192.168.1.20:65535", TcpEndpoint{"192.168.1.20", 65535}},
        {"192.168.1.20:000001", TcpEndpoint{"192.168.1.20", 47625}},
        {"192.168.1.20:", TcpEndpoint{"192.168.1.20", 47625}},
        {":5555", TcpEndpoint{"5555", 47625}},  // empty pieces are dropped
        {"phone.local:1:2", TcpEndpoint{"phone.local", 1}},
        {"", std::nullopt},
        {":::", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseManualAddress(row.text, 47625), row.want) << row.text;
}

TEST(UserConnect, ATypedAddressConnectsAndAnAttemptUnderWayIsNotDisturbed) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    model.connectManual(":::");
    model.connectManual("127.0.0.1:0");
    EXPECT_EQ(model.state().state, ConnState::connecting("127.0.0.1"));
    model.connectManual("10.9.9.9");  // ignored while the first runs
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    EXPECT_EQ(h.journal->count("tcp 127.0.0.1:47625"), 1);
    EXPECT_EQ(h.journal->count("tcp 10.9.9.9:47625"), 0);
    EXPECT_NE(h.log().find("conectando a 127.0.0.1 via tcp (pedido do usuário) [chave manual:127.0.0.1 |"),
              std::string::npos);
    EXPECT_FALSE(model.state().activeKind) << "a typed address is no kind of the user's order";
}

TEST(UserConnect, APhoneFoundOnTheNetworkIsPairedOnlyWhenTheUserPicksIt) {
    ModelHarness h;  // neither side knows the other: nothing connects on its own
    AppModel& model = h.start();
    h.browser->state(DnsSdBrowser::State::ready);
    h.browser->results({{"Celular", {{"id", h.phone.id()}, {"pair", "1"}}, TcpEndpoint{"127.0.0.1", 5555}}});
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.size() == 1; }));
    const DiscoveredPhone found = model.state().phones[0];
    EXPECT_FALSE(model.isPaired(found));
    EXPECT_EQ(model.pairFlag(found), true);
    h.advance(10);
    EXPECT_EQ(model.state().state, ConnState::idle());

    model.connectTo(found);
    h.journal->waitFor("prompt.shown ");
    h.prompt->answer(true);
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    EXPECT_EQ(h.journal->count("tcp 127.0.0.1:5555"), 1);
    EXPECT_TRUE(model.isPaired(found));
    EXPECT_EQ(model.state().activeKind, ConnKind::wifi);
    EXPECT_NE(h.log().find("(pedido do usuário) [chave net:" + h.phone.id() + ":" + found.epKey + " |"),
              std::string::npos);
}

// A cable phone the user picks is keyed as the cable it is: its link counts as USB, not Wi-Fi.
TEST(UserConnect, ACablePhoneChosenByTheUserIsACableLink) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    model.disconnect();  // nothing on its own
    h.plugInCable();
    ASSERT_EQ(model.state().usbPhones.size(), 1u);
    EXPECT_EQ(model.state().state, ConnState::idle());
    model.connectTo(model.state().usbPhones[0]);
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    EXPECT_EQ(model.state().activeKind, ConnKind::usb);
    EXPECT_EQ(transportTitle(model.state()), L10n::string("conn.usb.title"));
    EXPECT_NE(h.log().find("[chave usb:R58N123 |"), std::string::npos);
}

}  // namespace
}  // namespace velmora
