// Finding phones as the user lives it: the browser's reports, the cable and Bluetooth lists, the hotspot
// and remembered addresses, stale pairings and "try again", with the model's clock in the test's hands.
#include <gtest/gtest.h>

#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using State = DnsSdBrowser::State;
const std::string kA = "0123456789abcdef0123456789abcdef", kB = "fedcba9876543210fedcba9876543210";

int count(const std::string& text, const std::string& line) {
    int n = 0;
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++n;
    return n;
}
void setWifiAndCable(AppModel& model, bool on) {
    auto prefs = model.state().linkPrefs;
    for (LinkPref& pref : prefs)
        if (pref.kind == ConnKind::wifi || pref.kind == ConnKind::usb) pref.enabled = on;
    model.setLinkPrefs(prefs);
}

TEST(DiscoveryStory, AdvertisementsBecomePhonesAndStaleReportsAreDropped) {
    ModelHarness h;
    AppModel& model = h.start();
    h.browser->state(State::waiting, "NoAuth(-65570)");
    h.exec->runPending();
    EXPECT_TRUE(model.state().localNetworkDenied);
    h.browser->state(State::ready);
    const std::vector<DnsSdService> seen{
        {"Sem id", {{"name", "x"}}, {}},
        {"Maiúsculo", {{"id", std::string(32, 'A')}}, {}},
        {"Celular (2)", {{"id", kA}, {"ip", "169.254.1.2"}, {"pair", "yes"}}, {}},
        {"Outro", {{"id", kA}, {"ip", "10.0.0.7"}, {"pair", "1"}}, {}}};
    for (int i = 0; i < 2; ++i)
        h.browser->results(seen);
    h.exec->runPending();
    EXPECT_FALSE(model.state().localNetworkDenied);
    EXPECT_TRUE(model.state().browserReady);
    ASSERT_EQ(model.state().phones.size(), 2u) << "the same id on two services gives two entries";
    EXPECT_EQ(model.state().phones[0].name, "Celular (2)");
    EXPECT_TRUE(model.state().phones[0].epKey.starts_with("svc-"));
    EXPECT_EQ(model.pairFlag(model.state().phones[0]), true) << "merged with the other entry of the id";
    for (const char* line : {"descartado: id ausente", "descartado: id inválido", "IP inválido: ignorei"})
        EXPECT_EQ(count(h.log(), line), 1) << line;
    h.advance(30);
    h.browser->results(seen);
    h.exec->runPending();
    EXPECT_EQ(count(h.log(), "descartado: id ausente"), 2) << "once per 30 s";
    EXPECT_EQ(count(h.log(), "janela de pareamento do celular (wifi:01234567): aberta"), 1);

    // A report already under way when the browse was restarted or stopped changes nothing.
    const auto late = h.browser->handlers();
    model.restartBrowsing();
    late.onResults(seen);
    h.exec->runPending();
    EXPECT_TRUE(model.state().phones.empty());
    h.browser->state(State::failed, "Avahi: Daemon connection failed");
    h.exec->runPending();
    EXPECT_TRUE(model.state().lastError);
    h.advance(3);
    EXPECT_EQ(h.journal->count("browser.start"), 3) << "a failed browse starts again after 3 s";
    h.browser->state(State::failed, "again");
    h.exec->runPending();
    const auto stopped = h.browser->handlers();
    setWifiAndCable(model, false);
    stopped.onResults(seen);
    h.advance(10);
    EXPECT_EQ(h.journal->count("browser.start"), 3) << "a stopped browse never restarts";
    EXPECT_FALSE(model.state().browserReady);
}

TEST(DiscoveryStory, TheCableListFollowsTheBridgeTheInstallerAndTheSwitch) {
    ModelHarness h;
    AppModel& model = h.start();
    model.disconnect();  // nothing connects on its own here
    DiscoveredPhone a, b;
    a.id = "usb:A", a.name = "Pixel", a.endpoint = TcpEndpoint{"127.0.0.1", 40001};
    b.id = "usb:B", b.name = "Moto";
    model.setInstallerCandidates({"A"});
    h.usb->publish({a, b});
    h.exec->runPending();
    EXPECT_EQ(model.state().usbPhones, std::vector{b});
    model.setInstallerCandidates({});
    EXPECT_EQ(model.state().usbPhones, (std::vector{a, b}));
    a.endpoint->port = 40002;  // the forward was made again
    h.usb->publish({a, b});
    h.exec->runPending();
    EXPECT_EQ(model.state().usbPhones[0].endpoint->port, 40002);
    setWifiAndCable(model, false);
    h.usb->publish({a});  // a poll that was under way
    h.exec->runPending();
    model.setInstallerCandidates({"B"});
    EXPECT_TRUE(model.state().usbPhones.empty());
    setWifiAndCable(model, true);
    h.usb->publish({a});
    h.exec->runPending();
    EXPECT_EQ(model.state().usbPhones, std::vector{a});
}

TEST(DiscoveryStory, BluetoothPhonesTakeTheirOwnersNameAndShareTheFlag) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    const std::string prefix = h.phone.id().substr(0, 16);
    h.ble->central.onPhones(
        {{"AA:BB:CC:DD:EE:01", "", prefix, true, {}}, {"AA:BB:CC:DD:EE:02", "", "", {}, {}}});
    h.browser->results({{"Celular", {{"id", h.phone.id()}}, {}}});
    h.exec->runPending();
    const auto& ble = model.state().blePhones;
    ASSERT_EQ(ble.size(), 2u);
    EXPECT_EQ(ble[0].name, "Pixel 7" + L10n::string("phone.suffix.ble"));
    EXPECT_EQ(ble[1].name, L10n::string("phone.ble_unknown"));
    EXPECT_TRUE(model.isPaired(ble[0]));
    EXPECT_FALSE(model.isPaired(ble[1])) << "an empty prefix matches no one";
    EXPECT_EQ(model.pairFlag(model.state().phones.at(0)), true);
    EXPECT_EQ(model.pairFlag(ble[1]), std::nullopt);
}

TEST(DiscoveryStory, HotspotsAndAddressesAreRememberedWithinTheirLimits) {
    ModelHarness h;
    h.setGateway("172.20.10.1");
    h.pairBothSides();
    h.settings->setValue("knownHotspotGateways", nlohmann::json{"gw:172.20.10.9", "gw:bad"});
    nlohmann::json full = nlohmann::json::object({{"999.1.1.1", kA}});
    for (int i = 0; i < 16; ++i)
        full["10.0.0." + std::to_string(i)] = kB;
    h.settings->setValue("hotspotPeers", full);
    AppModel& model = h.start();
    ASSERT_TRUE(
        h.pumpUntil([&] { return h.log().find("gateway padrão do Mac: 172.20.10.1") != std::string::npos; }));
    EXPECT_EQ(model.hotspotPeers().at("172.20.10.9"), h.phone.id());
    EXPECT_FALSE(h.settings->value("knownHotspotGateways"));
    h.settings->setValue("knownAddrs", nlohmann::json{{h.phone.id(), {"A", "B", "C", "D", "E", "F"}}});
    model.rememberAddrs(h.phone.id(), {"C", "G"});
    EXPECT_EQ(h.settings->stringListMap("knownAddrs")->at(h.phone.id()),
              (std::vector<std::string>{"C", "G", "A", "B", "D", "E"}));

    model.handleOffer(nullptr, {"172.20.10.1"}, 50000);  // no live session: ignored
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    model.handleOffer(model.liveSession().get(), {"172.20.10.1"}, 50000);
    const auto peers = model.hotspotPeers();
    EXPECT_EQ(peers.size(), 16u);
    EXPECT_EQ(peers.at("172.20.10.1"), h.phone.id()) << "the entry just learned always stays";
    EXPECT_EQ(peers.count("172.20.10.9"), 1u) << "a paired phone's hotspot outlives the others";
}

TEST(DiscoveryStory, RetryAndForgettingAStalePairing) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.browser->state(State::failed, "x");
    h.browser->results({{"pixel 7 (2)", {{"id", kA}}, {}}});
    h.exec->runPending();
    ASSERT_EQ(model.stalePairs(), (std::vector<StalePair>{{h.phone.id(), "Pixel 7", kA}}));
    model.retryNow();
    EXPECT_FALSE(model.state().lastError);
    EXPECT_TRUE(model.state().phones.empty()) << "the browse started again";
    model.confirmForgetStale(model.state().paired.at(0));
    EXPECT_EQ(model.state().paired.size(), 1u) << "cancel is the default";
    h.alerts->choice = 1;
    model.confirmForgetStale(model.state().paired.at(0));
    EXPECT_TRUE(model.state().paired.empty());
}

}  // namespace
}  // namespace velmora
