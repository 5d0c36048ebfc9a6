// The panel's rules over model states: which body shows, the phones as rows, the status line, the order of
// the state area's parts, and the sizes.
#include <gtest/gtest.h>

#include "app/shell/logic/panel_sections.h"
#include "app/shell/logic/panel_sizes.h"
#include "app/shell/logic/status_line.h"
#include "core/errors/friendly_errors.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

using Kind = PanelState::Kind;

DiscoveredPhone phone(std::string id, std::string name, std::optional<std::string> prefix = std::nullopt) {
    DiscoveredPhone p;
    p.id = std::move(id);
    p.name = std::move(name);
    p.devicePrefix = std::move(prefix);
    return p;
}

// A model state with the given lists; `pairedIds` are the ids the peer store knows.
PanelInputs inputs(std::vector<DiscoveredPhone> net, std::vector<DiscoveredPhone> usb = {},
                   std::vector<DiscoveredPhone> ble = {}, std::vector<std::string> pairedIds = {}) {
    PanelInputs in;
    in.state.phones = std::move(net);
    in.state.usbPhones = std::move(usb);
    in.state.blePhones = std::move(ble);
    in.state.linkPrefs = {
        {ConnKind::usb, true}, {ConnKind::wifi, true}, {ConnKind::hotspot, true}, {ConnKind::ble, true}};
    in.isPaired = [pairedIds](const DiscoveredPhone& p) {
        return std::find(pairedIds.begin(), pairedIds.end(), p.id) != pairedIds.end();
    };
    return in;
}

// "id:best-id:paired" for each row, in order.
std::vector<std::string> rows(const PanelInputs& in) {
    std::vector<std::string> out;
    for (const auto& g : phoneGroups(in, " (USB)", " (Bluetooth)"))
        out.push_back(g.id + ":" + g.best.id + (g.paired ? ":p" : ""));
    return out;
}

TEST(PanelState, FirstRuleThatHoldsDecides) {
    struct Case {
        const char* what;
        std::function<void(PanelInputs&)> set;
        PanelState want;
    };
    const std::vector<Case> cases = {
        {"nothing", [](PanelInputs&) {}, {Kind::empty, {}}},
        {"attempt beats lost and phones",
         [](PanelInputs& in) {
             in.state.state = ConnState::connecting("Nimbo");
             in.state.phoneLost = true;
             in.state.phones = {phone("a", "A")};
         },
         {Kind::connecting, "Nimbo"}},
        {"session, label dropped",
         [](PanelInputs& in) { in.state.state = ConnState::connected("Nimbo"); },
         {Kind::connected, {}}},
        {"lost beats phones found",
         [](PanelInputs& in) {
             in.state.phoneLost = true;
             in.state.phones = {phone("a", "A")};
         },
         {Kind::lost, {}}},
        {"phones beat permission problems",
         [](PanelInputs& in) {
             in.state.localNetworkDenied = true;
             in.state.bluetoothState = kBluetoothPoweredOff;
             in.state.blePhones = {phone("ble:1", "B")};
         },
         {Kind::found, {}}},
        {"local network beats Bluetooth",
         [](PanelInputs& in) {
             in.state.localNetworkDenied = true;
             in.state.bluetoothState = kBluetoothPoweredOff;
         },
         {Kind::localDenied, {}}},
        {"denied network while Wi-Fi is off",
         [](PanelInputs& in) {
             in.state.localNetworkDenied = true;
             in.state.linkPrefs[1].enabled = false;
         },
         {Kind::empty, {}}},
        {"Bluetooth off",
         [](PanelInputs& in) { in.state.bluetoothState = kBluetoothPoweredOff; },
         {Kind::bluetoothOff, {}}},
        {"Bluetooth off while not used",
         [](PanelInputs& in) {
             in.state.bluetoothState = kBluetoothPoweredOff;
             in.state.linkPrefs[3].enabled = false;
         },
         {Kind::empty, {}}},
    };
    for (const auto& c : cases) {
        auto in = inputs({});
        c.set(in);
        EXPECT_EQ(panelState(in), c.want) << c.what;
    }
}

TEST(PhoneGroups, MergesTheLinksOfOnePhoneAndPutsPairedRowsFirst) {
    struct Case {
        const char* what;
        PanelInputs in;
        std::vector<std::string> want;
    };
    auto known = inputs({}, {phone("usb:S1", "Nimbo (USB)"), phone("S2", "Work (USB)")});
    known.usbKnown = {"S1", "S2"};
    auto byPeerName = inputs({}, {phone("usb:S3", "Tab (USB) (Bluetooth)"), phone("usb:S4", "tab (USB)")});
    byPeerName.state.paired = {Peer{"p1", {}, "Tab", "android"}};
    const std::vector<Case> cases = {
        {"same network id twice: the first wins", inputs({phone("a", "A"), phone("a", "A2")}), {"a:a"}},
        {"Bluetooth phone hidden behind the network phone its prefix begins, paired or not",
         inputs({phone("abc123", "A")}, {},
                {phone("ble:1", "A", "abc"), phone("ble:2", "B", "abd"), phone("ble:3", "C")}),
         {"abc123:abc123", "ble:2:ble:2", "ble:3:ble:3"}},
        {"paired network phone takes its cable twin, exact case",
         inputs({phone("a", "Nimbo")}, {phone("usb:X", "nimbo (USB)"), phone("usb:Y", "Nimbo (USB)")}, {},
                {"a"}),
         {"a:usb:Y:p", "usb:X:usb:X"}},
        {"unpaired network phone keeps its twin apart",
         inputs({phone("a", "Nimbo")}, {phone("usb:Y", "Nimbo (USB)")}),
         {"a:a", "usb:Y:usb:Y"}},
        {"two paired phones of one name: the first takes the cable",
         inputs({phone("a", "Nimbo"), phone("b", "Nimbo")}, {phone("usb:Y", "Nimbo (USB)")}, {}, {"a", "b"}),
         {"a:usb:Y:p", "b:b:p"}},
        {"cable phone known by serial needs the usb: prefix", known, {"usb:S1:usb:S1:p", "S2:S2"}},
        {"cable phone known by a stored peer's stripped name",
         byPeerName,
         {"usb:S3:usb:S3:p", "usb:S4:usb:S4"}},
        {"order: paired rows first, discovery order within each half",
         inputs({phone("n1", "N1")}, {phone("usb:U", "U")}, {phone("ble:B", "B")}, {"ble:B"}),
         {"ble:B:ble:B:p", "n1:n1", "usb:U:usb:U"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rows(c.in), c.want) << c.what;
}

TEST(PhoneGroups, StripsEverySuffixAndNeverLoopsOnAnEmptyOne) {
    EXPECT_EQ(stripLinkSuffixes("A (USB) (USB) (BT)", " (USB)", " (BT)"), "A");
    EXPECT_EQ(stripLinkSuffixes("A (U (USB)SB)", " (USB)", ""), "A (USB)");  // one pass, not repeated
    EXPECT_EQ(stripLinkSuffixes("Nimbo", "", ""), "Nimbo");
}

TEST(StatusLine, TextColourAndWarningsFollowTheState) {
    struct Case {
        const char* what;
        std::function<void(PanelInputs&)> set;
        std::string text;
        StatusTone tone;
    };
    const auto connected = [](PanelInputs& in) { in.state.state = ConnState::connected("P"); };
    const std::vector<Case> cases = {
        {"connected", connected, L10n::string("panel.status.connected"), StatusTone::ok},
        {"outdated app and a hint on Bluetooth",
         [&](PanelInputs& in) {
             connected(in);
             in.phoneNeedsUpdate = true;
             in.state.networkHint = "other";
             in.state.linkKind = "ble";
         },
         L10n::format("panel.status.connected_warnings", {std::int64_t{2}}), StatusTone::warn},
        {"a hint on Wi-Fi adds nothing",
         [&](PanelInputs& in) {
             connected(in);
             in.state.networkHint = "other";
         },
         L10n::string("panel.status.connected"), StatusTone::ok},
        {"connecting hides the label",
         [](PanelInputs& in) { in.state.state = ConnState::connecting("Secret"); },
         L10n::string("common.connecting"), StatusTone::accent},
        {"found counts rows after merging",
         [](PanelInputs& in) {
             in.state.phones = {phone("abc", "A"), phone("abc", "A")};
             in.state.blePhones = {phone("ble:1", "A", "ab")};
         },
         L10n::format("panel.status.found", {std::int64_t{1}}), StatusTone::accent},
        {"lost", [](PanelInputs& in) { in.state.phoneLost = true; }, L10n::string("panel.status.lost"),
         StatusTone::err},
        {"local network denied", [](PanelInputs& in) { in.state.localNetworkDenied = true; },
         L10n::string("panel.status.local_denied"), StatusTone::err},
        {"Bluetooth off", [](PanelInputs& in) { in.state.bluetoothState = kBluetoothPoweredOff; },
         L10n::string("panel.status.bluetooth_off"), StatusTone::warn},
        {"empty", [](PanelInputs&) {}, L10n::string("panel.status.empty"), StatusTone::dimmed},
    };
    for (const auto& c : cases) {
        auto in = inputs({});
        c.set(in);
        const auto groups = phoneGroups(in);
        const auto state = panelState(in, groups);
        EXPECT_EQ(statusText(state, warningCount(in), groups.size()), c.text) << c.what;
        EXPECT_EQ(statusTone(state, warningCount(in)), c.tone) << c.what;
    }
}

TEST(PanelSections, NoticesBodyAndErrorInOrderEachOnlyWhenItApplies) {
    using S = PanelSection::Kind;
    const auto kinds = [](const PanelInputs& in) {
        std::vector<S> out;
        for (const auto& s : panelSections(in, panelState(in)))
            out.push_back(s.kind);
        return out;
    };
    auto in = inputs({});
    in.state.panelNotice = PanelNotice{"Copied", std::nullopt};
    in.state.paired = {Peer{"old1", {}, "Nimbo", "android"}, Peer{"old2", {}, "Tab", "android"}};
    in.stalePairs = {{"old2", "Tab", "new2"}, {"old1", "Nimbo", "new1"}};
    in.state.lastError = "boom";
    EXPECT_EQ(kinds(in), (std::vector<S>{S::notice, S::stalePairing, S::body, S::error}));
    EXPECT_EQ(panelSections(in, panelState(in))[1].stalePeer.id, "old2");  // the first stale pair only

    in.stalePairs = {{"gone", "Old", "new"}};  // its peer is no longer stored
    EXPECT_EQ(kinds(in), (std::vector<S>{S::notice, S::body, S::error}));
    in.stalePairs = {{"old1", "Nimbo", "new1"}};
    in.state.state = ConnState::connected("P");  // no stale notice under the connected card
    EXPECT_EQ(kinds(in), (std::vector<S>{S::notice, S::body, S::error}));
    in.state.state = ConnState::idle();
    in.state.phoneLost = true;  // the lost body says it all
    EXPECT_EQ(kinds(in), (std::vector<S>{S::notice, S::stalePairing, S::body}));
}

// The failed browse's text points at a "Search again" button while the model keeps browsing by itself: it
// never stands under the searching line, over a session or beside any other body; another error still does.
TEST(PanelSections, AFailedBrowseNeverContradictsTheBody) {
    const std::string browse = FriendlyErrors::searchFailed();
    const std::string other = "The phone refused the connection.";
    struct Row {
        const char* what;
        PanelInputs in;
    };
    auto with = [](PanelInputs in, auto change) { return change(in), in; };
    const Row rows[] = {
        {"searching", inputs({})},
        {"connected", with(inputs({}), [](PanelInputs& in) { in.state.state = ConnState::connected("P"); })},
        {"found", inputs({phone("a", "A")})},
        {"bluetooth off", with(inputs({}), [](PanelInputs& in) { in.state.bluetoothState = 4; })},
    };
    for (const auto& [what, base] : rows)
        for (const auto& [error, shown] : {std::pair{browse, false}, std::pair{other, true}}) {
            PanelInputs in = base;
            in.state.lastError = error;
            const auto sections = panelSections(in, panelState(in));
            const bool hasError = std::any_of(sections.begin(), sections.end(), [](const PanelSection& s) {
                return s.kind == PanelSection::Kind::error;
            });
            EXPECT_EQ(hasError, shown) << what << ": " << error;
        }
}

TEST(PanelGeometry, MaximumHeightAndBatteryBar) {
    EXPECT_EQ(panelMaxHeight(600.0, std::nullopt), 540);
    EXPECT_EQ(panelMaxHeight(900.0, std::nullopt), 640);
    EXPECT_EQ(panelMaxHeight(900.0, 520.0), 520);
    EXPECT_EQ(panelMaxHeight(std::nullopt, std::nullopt), 640);
    EXPECT_EQ(panelMaxHeight(100.0, std::nullopt), kPanelMinMaxHeight);  // a tiny screen still shows the rows
    EXPECT_EQ(panelHeight(300, 540), 300);
    EXPECT_EQ(panelHeight(900, 540), 540);

    const std::vector<std::pair<long long, BatteryBar>> bars = {
        {15, {2.4, true}},  {16, {2.56, false}}, {0, {2, true}},  {10, {2, true}},
        {100, {16, false}}, {250, {16, false}},  {-5, {2, true}},
    };
    for (const auto& [level, bar] : bars) {
        EXPECT_DOUBLE_EQ(batteryBar(level).width, bar.width) << level;
        EXPECT_EQ(batteryBar(level).low, bar.low) << level;
    }
}

}  // namespace
}  // namespace velmora
