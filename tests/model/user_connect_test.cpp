// The user's own connections to the simulated phone: a typed address, a phone found by the browser or cable.
#include <gtest/gtest.h>

#include "app/model/discovery/manual_address.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using Kind = ConnState::Kind;

TEST(UserConnect, ATypedAddressAndThenAPickedCablePhone) {
    const std::pair<const char*, std::optional<TcpEndpoint>> rows[] = {
        {"10.0.0.2:50000", TcpEndpoint{"10.0.0.2", 50000}},
        {"10.0.0.2:70000", TcpEndpoint{"10.0.0.2", 47625}},
        {"10.0.0.2:abc", TcpEndpoint{"10.0.0.2", 47625}},
        {":5555:", TcpEndpoint{"5555", 47625}},
        {"h:000001", TcpEndpoint{"h", 47625}},
        {"::", std::nullopt}};
    for (const auto& [text, want] : rows)
        EXPECT_EQ(parseManualAddress(text, 47625), want) << text;
    test::ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    model.connectManual("");
    model.connectManual("127.0.0.1:0");  // port 0 could only fail: the phone's port instead
    EXPECT_EQ(model.state().state, ConnState::connecting("127.0.0.1"));
    model.connectManual("10.9.9.9");  // dropped while the first runs
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    EXPECT_EQ(h.journal->count("tcp 127.0.0.1:47625"), 1);
    EXPECT_EQ(h.journal->count("tcp 10.9.9.9:47625"), 0);
    EXPECT_NE(h.log().find("conectando a 127.0.0.1 via tcp (pedido do usuário) [chave manual:127.0.0.1 |"),
              std::string::npos);
    // A cable phone the user picks is keyed as the cable it is: its link counts as USB, not Wi-Fi.
    model.disconnect();  // and nothing connects on its own
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    h.plugInCable();
    model.connectTo(model.state().usbPhones.at(0));
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    EXPECT_EQ(transportTitle(model.state()), L10n::string("conn.usb.title"));
    EXPECT_NE(h.log().find("[chave usb:R58N123 |"), std::string::npos);
}

TEST(UserConnect, APhoneFoundOnTheNetworkIsPairedOnlyWhenTheUserPicksIt) {
    test::ModelHarness h;  // neither side knows the other: nothing connects on its own
    AppModel& model = h.start();
    h.browser->results({{"Celular", {{"id", h.phone.id()}}, TcpEndpoint{"127.0.0.1", 5555}}});
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().phones.size() == 1; }));
    const DiscoveredPhone found = model.state().phones[0];
    h.advance(10);
    EXPECT_EQ(model.state().state, ConnState::idle());
    model.connectTo(found);
    h.journal->waitFor("prompt.shown ");
    h.prompt->answer(true);
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    EXPECT_EQ(h.journal->count("tcp 127.0.0.1:5555"), 1);
    EXPECT_TRUE(model.isPaired(found));
    EXPECT_NE(h.log().find("[chave net:" + h.phone.id() + ":" + found.epKey + " |"), std::string::npos);
}

}  // namespace
}  // namespace velmora
