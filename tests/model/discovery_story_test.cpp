// Finding phones: browser reports, cable and Bluetooth lists, hotspots and addresses, stale pairings, retry.
#include <gtest/gtest.h>

#include <filesystem>
#include <ranges>

#include "core/l10n/l10n.h"
#include "support/model_harness.h"
#include "support/session_language.h"

namespace velmora {
namespace {

using State = DnsSdBrowser::State;
const std::string kA(32, 'a');

std::ptrdiff_t count(const std::string& text, const std::string& line) {
    return std::ranges::distance(std::views::split(text, line)) - 1;
}
void setWifiAndCable(AppModel& model, bool on) {
    auto prefs = model.state().linkPrefs;
    for (LinkPref& pref : prefs)
        if (pref.kind == ConnKind::wifi || pref.kind == ConnKind::usb) pref.enabled = on;
    model.setLinkPrefs(prefs);
}

TEST(DiscoveryStory, AdvertisementsBecomePhonesAndStaleReportsAreDropped) {
    test::ModelHarness h;
    AppModel& model = h.start();
    h.browser->state(State::ready);
    const std::vector<DnsSdService> seen{
        {"Sem id", {{"name", "x"}}, {}},
        {"Maiúsculo", {{"id", std::string(32, 'A')}}, {}},
        {"Celular (2)", {{"id", kA}, {"ip", "169.254.1.2"}, {"pair", "yes"}}, {}},
        {"Outro", {{"id", kA}, {"ip", "10.0.0.7"}, {"pair", "1"}}, {}}};
    h.browser->results(seen);
    h.browser->results(seen);
    h.exec->runPending();
    ASSERT_EQ(model.state().phones.size(), 2u) << "one id on two services: two entries";
    EXPECT_EQ(model.state().phones[0].name, "Celular (2)");
    EXPECT_TRUE(model.state().phones[0].epKey.starts_with("svc-"));
    EXPECT_EQ(model.pairFlag(model.state().phones[0]), true) << "merged with the other entry of the id";
    for (const char* line : {"descartado: id ausente", "descartado: id inválido", "IP inválido: ignorei",
                             "janela de pareamento do celular (wifi:aaaaaaaa): aberta"})
        EXPECT_EQ(count(h.log(), line), 1) << line;
    h.advance(30);
    h.browser->results(seen);
    h.exec->runPending();
    EXPECT_EQ(count(h.log(), "descartado: id ausente"), 2) << "once per 30 s";

    // A report already under way when the browse was restarted or stopped changes nothing.
    const auto late = h.browser->handlers();
    model.restartBrowsing();
    late.onResults(seen);
    h.browser->state(State::failed, "Avahi: Daemon connection failed");
    h.exec->runPending();
    EXPECT_TRUE(model.state().phones.empty());
    EXPECT_TRUE(model.state().lastError);
    h.advance(3);
    EXPECT_EQ(h.journal->count("browser.start"), 3) << "a failed browse starts again after 3 s";
    h.browser->state(State::ready);
    h.exec->runPending();
    EXPECT_FALSE(model.state().lastError) << "the search works again";
    h.browser->state(State::failed, "again");
    h.exec->runPending();
    const auto stopped = h.browser->handlers();
    setWifiAndCable(model, false);
    stopped.onResults(seen);
    h.advance(10);
    EXPECT_EQ(h.journal->count("browser.start"), 3) << "a stopped browse never restarts";
    EXPECT_TRUE(model.state().phones.empty());
}

// No DNS-SD daemon, for ten minutes: the browse is tried again every 3 s all along, the streak is logged
// once and its end once; the search's failure shows while nothing connects and never over a connection.
TEST(DiscoveryStory, ABrowseThatFailsForMinutesIsLoggedOncePerStreakAndRetriedAllAlong) {
    test::ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    const auto failFor = [&](double seconds) {  // a connected phone answers each heartbeat meanwhile
        for (double t = 0; t < seconds; t += 3) {
            h.browser->state(State::failed, "Avahi: Daemon not running");
            h.exec->runPending();
            const double before = h.exec->now();
            h.advance(3);  // the restart
            const auto session = model.liveSession();
            ASSERT_TRUE(h.pumpUntil([&] { return !session || session->lastRx() > before; }));
        }
    };
    const int startsBefore = h.journal->count("browser.start");
    failFor(600);
    EXPECT_EQ(h.journal->count("browser.start") - startsBefore, 200);
    EXPECT_EQ(count(h.log(), "busca DNS-SD"), 1);
    EXPECT_EQ(count(h.log(), "busca DNS-SD falhou (Avahi: Daemon not running); tentando de novo a cada 3 s"),
              1);
    EXPECT_TRUE(model.state().lastError) << "nothing connects: the search's failure shows";

    h.plugInCable();  // the failure goes with the connection and does not come back over it
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    EXPECT_FALSE(model.state().lastError);
    failFor(30);
    EXPECT_FALSE(model.state().lastError);
    EXPECT_EQ(count(h.log(), "busca DNS-SD"), 1);

    h.browser->state(State::ready);
    h.exec->runPending();
    EXPECT_EQ(count(h.log(), "busca DNS-SD funcionando de novo após 210 falhas"), 1);
    failFor(3);
    EXPECT_EQ(count(h.log(), "busca DNS-SD falhou"), 2) << "a new streak";
}

TEST(DiscoveryStory, TheCableListFollowsTheBridgeTheInstallerAndTheSwitch) {
    test::ModelHarness h;
    AppModel& model = h.start();
    model.disconnect();  // nothing connects on its own here
    DiscoveredPhone a, b;
    a.id = "usb:A", a.endpoint = TcpEndpoint{"127.0.0.1", 40001}, b.id = "usb:B";
    const auto publish = [&](std::vector<DiscoveredPhone> v) { h.usb->publish(v), h.exec->runPending(); };
    model.setInstallerCandidates({"A"});
    publish({a, b});
    EXPECT_EQ(model.state().usbPhones, std::vector{b});
    model.setInstallerCandidates({});
    a.endpoint->port = 40002;  // the forward was made again
    publish({a, b});
    EXPECT_EQ(model.state().usbPhones, (std::vector{a, b}));
    setWifiAndCable(model, false);
    publish({a});  // a poll that was under way
    model.setInstallerCandidates({"B"});
    EXPECT_TRUE(model.state().usbPhones.empty());
    setWifiAndCable(model, true);
    publish({a});
    EXPECT_EQ(model.state().usbPhones, std::vector{a});
}

TEST(DiscoveryStory, HotspotsAndAddressesAreRememberedWithinTheirLimits) {
    test::ModelHarness h;
    h.gateway = "172.20.10.1";
    h.pairBothSides();
    h.settings->setValue("knownHotspotGateways", nlohmann::json{"gw:172.20.10.9", "gw:bad"});
    nlohmann::json full = nlohmann::json::object({{"999.1.1.1", kA}});
    for (int i = 0; i < 16; ++i)
        full["10.0.0." + std::to_string(i)] = std::string(32, 'b');
    h.settings->setValue("hotspotPeers", full);
    h.settings->setValue("knownAddrs", nlohmann::json{{h.phone.id(), {"A", "B", "C", "D", "E", "F"}}});
    AppModel& model = h.start();
    EXPECT_EQ(model.hotspotPeers().at("172.20.10.9"), h.phone.id());
    EXPECT_FALSE(h.settings->value("knownHotspotGateways"));
    model.handleOffer(0, {"172.20.10.1"}, 50000);  // from no live session: ignored
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    ASSERT_TRUE(h.pumpUntil(
        [&] { return h.log().find("gateway padrão do computador: 172.20.10.1") != std::string::npos; }));
    h.browser->state(State::failed, "Avahi: Daemon not running");
    h.exec->runPending();
    EXPECT_FALSE(model.state().lastError) << "a failing browse never shows its text over a connected phone";
    model.handleOffer(model.liveSession()->serial(), {"C", "172.20.10.1"}, 50000);
    EXPECT_EQ(h.settings->stringListMap("knownAddrs")->at(h.phone.id()),
              (std::vector<std::string>{"C", "172.20.10.1", "A", "B", "D", "E"}));
    const auto peers = model.hotspotPeers();
    EXPECT_EQ(peers.size(), 16u);
    EXPECT_EQ(peers.at("172.20.10.1"), h.phone.id()) << "the entry just learned always stays";
    EXPECT_EQ(peers.count("172.20.10.9"), 1u) << "a paired phone's hotspot outlives the others";
}

// Table: the planner reads the phones' hotspots as the getter gives them: the old key's gateways migrated
// (one paired phone) and entries that mean nothing dropped. On the phone's hotspot it connects through the
// gateway, and in an English session the log still names the hotspot in Portuguese; an entry naming no
// valid id is not a hotspot.
TEST(DiscoveryStory, ThePlannerSeesTheHotspotsMigratedAndChecked) {
    const test::SessionLanguage english("en_US.UTF-8");  // the user reads English; the log stays Portuguese
    for (const std::string row : {"migrated", "invalid"}) {
        SCOPED_TRACE(row);
        test::ModelHarness h;
        h.gateway = "172.20.10.1";
        h.pairBothSides();
        if (row == "migrated") h.settings->setValue("knownHotspotGateways", nlohmann::json{"gw:172.20.10.1"});
        if (row == "invalid")
            h.settings->setValue("hotspotPeers", nlohmann::json{{"172.20.10.1", h.phone.id() + "!"}});
        h.start();
        ASSERT_TRUE(
            h.pumpUntil([&] { return h.log().find("gateway padrão do computador") != std::string::npos; }));
        h.exec->runPending();  // the plan follows the gateway's line on main, in the same turn
        EXPECT_EQ(h.log().find("conectando a ") != std::string::npos, row == "migrated");
        if (row == "invalid") continue;
        EXPECT_NE(h.log().find("conectando a Hotspot do celular via tcp [chave gw:172.20.10.1 |"),
                  std::string::npos)
            << h.log();
        EXPECT_NE(h.journal->waitFor("tcp 172.20.10.1:47625"), "");
        EXPECT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    }
}

TEST(DiscoveryStory, BluetoothNamesStalePairingsAndRetry) {
    test::ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    const std::string prefix = h.phone.id().substr(0, 16);
    h.ble->central.onPhones(
        {{"AA:BB:CC:DD:EE:01", "", prefix, true, {}}, {"AA:BB:CC:DD:EE:02", "", "", {}, {}}});
    h.browser->state(State::failed, "x");
    h.browser->results({{"nimbo 7 (2)", {{"id", kA}}, {}}});
    h.exec->runPending();
    const auto& ble = model.state().blePhones;
    EXPECT_EQ(ble.at(0).name, "Nimbo 7" + L10n::string("phone.suffix.ble"));
    EXPECT_EQ(ble.at(1).name, L10n::string("phone.ble_unknown"));
    EXPECT_TRUE(model.isPaired(ble[0]));
    EXPECT_FALSE(model.isPaired(ble[1])) << "an empty prefix matches no one";
    EXPECT_EQ(model.pairFlag(model.state().phones.at(0)), std::nullopt) << "no prefix of this phone";
    EXPECT_TRUE(model.stalePairs().empty()) << "the old identity is still around over Bluetooth";
    h.ble->central.onPhones({});
    h.exec->runPending();
    ASSERT_EQ(model.stalePairs(), (std::vector<StalePair>{{h.phone.id(), "Nimbo 7", kA}}));
    model.retryNow();
    EXPECT_FALSE(model.state().lastError);
    EXPECT_TRUE(model.state().phones.empty()) << "the browse started again";
    model.confirmForgetStale(model.state().paired.at(0));
    EXPECT_EQ(model.state().paired.size(), 1u) << "cancel is the default";
    std::filesystem::remove(h.dir.path() / "peers.json");  // a folder in its place: the write fails
    std::filesystem::create_directories(h.dir.path() / "peers.json/x");
    h.alerts->choice = 1;
    model.confirmForgetStale(model.state().paired.at(0));
    h.exec->runPending();
    EXPECT_TRUE(model.state().paired.empty());
    ASSERT_TRUE(model.state().panelNotice);
    EXPECT_EQ(model.state().panelNotice->title, L10n::string("prefs.forget.failed.title"));
    EXPECT_EQ(count(h.log(), "esquecer celular " + h.phone.id() + ": peers.json não foi gravado"), 1);
}

}  // namespace
}  // namespace velmora
