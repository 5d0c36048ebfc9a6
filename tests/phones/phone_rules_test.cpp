// The phone list's rules as tables: what a row shows for each kind of phone, how the found list splits and
// when it hints at pairing, whom the lost body names, and the permission rows with their summary.
#include <gtest/gtest.h>

#include "app/shell/phones/list_rules.h"
#include "app/shell/phones/permission_rules.h"
#include "core/l10n/l10n.h"

namespace velmora {
namespace {

const auto s = [](const char* key) { return L10n::string(key); };
const auto menuEntry = [](const char* key) { return L10n::format(key, {s("ref.android.pair_new_mac")}); };

DiscoveredPhone phone(std::string id, std::string name, bool ble = false) {
    DiscoveredPhone p;
    p.id = std::move(id);
    p.name = std::move(name);
    if (ble) p.bleID = "AA:BB";
    return p;
}

TEST(PhoneRow, EachKindOfPhoneGetsItsSubtitleButtonAndReadiness) {
    struct Row {
        const char* what;
        DiscoveredPhone phone;
        bool listedPaired, primary, pairedNow;
        std::optional<bool> flag;
        std::string badge, subtitle;
        TextTone tone;
        const char* label;
        bool primaryButton, enabled;
    };
    const std::vector<Row> rows = {
        {"new cable", phone("usb:R5", "Nimbo"), false, false, false, false, "USB",
         s("panel.phone.sub.usb_new"), TextTone::secondary, "panel.phone.connect_pair", false, true},
        {"known cable, first", phone("usb:R5", "Nimbo"), true, true, false, std::nullopt, "USB",
         s("panel.phone.sub.usb"), TextTone::secondary, "panel.phone.connect", true, true},
        {"known cable, later", phone("usb:R5", "Nimbo", true), true, false, false, std::nullopt, "USB",
         s("panel.phone.sub.usb"), TextTone::secondary, "panel.phone.connect", false, true},
        {"paired Bluetooth", phone("ble:1", "Nimbo", true), true, false, true, false, "BT",
         s("panel.phone.sub.ble"), TextTone::secondary, "panel.phone.connect", false, true},
        {"paired network", phone("abc", "Nimbo"), true, true, true, std::nullopt, "WI-FI",
         s("panel.phone.sub.wifi"), TextTone::secondary, "panel.phone.connect", true, true},
        {"ready", phone("abc", "Nimbo"), false, false, false, true, "WI-FI", s("panel.phone.sub.ready"),
         TextTone::ok, "panel.phone.pair", false, true},
        {"waiting", phone("abc", "Nimbo"), false, false, false, false, "WI-FI",
         menuEntry("panel.phone.sub.waiting"), TextTone::secondary, "panel.phone.pair", false, false},
        {"silent", phone("ble:2", "Nimbo", true), false, false, false, std::nullopt, "BT",
         menuEntry("panel.phone.sub.old_app"), TextTone::warn, "panel.phone.pair", false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const PhoneRowView v = phoneRowView({r.phone, r.listedPaired, r.primary, r.pairedNow, r.flag});
        EXPECT_EQ(v.badge, r.badge);
        EXPECT_EQ(v.subtitle, r.subtitle);
        EXPECT_EQ(v.subtitleTone, r.tone);
        EXPECT_EQ(v.buttonLabel, s(r.label));
        EXPECT_EQ(v.primaryButton, r.primaryButton);
        EXPECT_EQ(v.enabled, r.enabled);
        EXPECT_EQ(v.tooltip, r.enabled ? "" : menuEntry("panel.phone.pair_disabled.help"));
        EXPECT_EQ(v.pairedGlyph, r.listedPaired);
        EXPECT_EQ(v.phone.id, r.phone.id);
    }
}

TEST(PhoneRow, TitleLosesEveryLinkSuffixAndOnlyThose) {
    const std::string usb = s("phone.suffix.usb"), ble = s("phone.suffix.ble");
    EXPECT_EQ(withoutLinkSuffixes("Nimbo" + usb), "Nimbo");
    EXPECT_EQ(withoutLinkSuffixes("Nimbo" + ble + usb + ble), "Nimbo");
    EXPECT_EQ(withoutLinkSuffixes("Nimbo (usb)"), "Nimbo (usb)");  // case-sensitive
    const PhoneRowView v = phoneRowView({phone("usb:1", "Orla" + usb), false, false, false, {}});
    EXPECT_EQ(v.accessibleLabel, L10n::format("a11y.phone.connect_pair_with", {std::string("Orla")}));
}

TEST(FoundList, SplitsKnownFromNewAndHintsOnlyWhenANetworkPhoneRefusesPairing) {
    // Flags by phone id; absent means the phone states nothing. "k" ids are paired in the store.
    std::map<std::string, std::optional<bool>> flags;
    const PhoneQueries ask{
        [](const DiscoveredPhone& p) { return p.id.starts_with("k"); },
        [&](const DiscoveredPhone& p) { return flags.contains(p.id) ? flags[p.id] : std::nullopt; }};
    using Flags = std::map<std::string, std::optional<bool>>;
    using Row = std::tuple<const char*, std::vector<ListedPhone>, Flags, std::size_t, std::size_t, bool>;
    const ListedPhone k1{"k1", phone("k1", "A"), true}, k2{"k2", phone("k2", "B"), true},
        n1{"n1", phone("n1", "C"), false}, cable{"usb:9", phone("usb:9", "D"), false},
        bt{"ble:3", phone("ble:3", "E", true), false}, storePaired{"k3", phone("k3", "F"), false};
    const std::vector<Row> rows = {
        {"known only", {k1, k2}, {}, 2, 0, false},
        {"new, ready and silent", {n1, bt}, {{"n1", true}}, 0, 2, false},
        {"new, refusing", {n1}, {{"n1", false}}, 0, 1, true},
        {"Bluetooth refusing", {k1, bt}, {{"ble:3", false}}, 1, 1, true},
        {"cable refusing", {cable}, {{"usb:9", false}}, 0, 1, false},
        {"paired in store, refusing", {storePaired}, {{"k3", false}}, 0, 1, false},
        {"one of several refusing", {cable, n1, bt}, {{"ble:3", false}}, 0, 3, true},
    };
    for (const auto& [what, groups, given, known, fresh, hint] : rows) {
        SCOPED_TRACE(what);
        flags = given;
        const FoundView v = foundView(groups, ask);
        EXPECT_EQ(v.known.size(), known);
        EXPECT_EQ(v.fresh.size(), fresh);
        EXPECT_EQ(v.pairHint.has_value(), hint);
        for (std::size_t i = 0; i < v.known.size(); ++i)
            EXPECT_EQ(v.known[i].primaryButton, i == 0);
        for (const PhoneRowView& row : v.fresh)
            EXPECT_FALSE(row.primaryButton);
    }
}

TEST(ListBodies, LostBodyNamesTheLostPhoneThenTheFirstPairedThenAnyPhone) {
    const std::vector<Peer> paired{{"1", {}, "Alpha", "android"}, {"2", {}, "Nimbo 7", "android"}};
    EXPECT_EQ(lostPhoneName("Nimbo 7", paired), "Nimbo 7");
    EXPECT_EQ(lostPhoneName(std::nullopt, paired), "Alpha");
    EXPECT_EQ(lostPhoneName(std::string(), {}), s("phone.generic_name"));
}

TEST(ListBodies, TheEmptyBodysStepsFollowAdbAndNameThePhonesMenuEntry) {
    PublishedState state;
    state.state = ConnState::connecting("NB-7X");
    const auto of = [&](ListBody body, bool adbMissing) {
        return phoneListValues(body, state, {}, {}, adbMissing);
    };
    EXPECT_EQ(of(ListBody::connecting, false).connectingLabel, "NB-7X");
    EXPECT_EQ(of(ListBody::empty, true).steps[1].subtitle, s("panel.empty.step2.sub_no_adb"));
    EXPECT_EQ(of(ListBody::empty, false).steps[1].subtitle, s("panel.empty.step2.sub"));
    EXPECT_EQ(of(ListBody::empty, false).steps[2].title, menuEntry("panel.empty.step3.title"));
    EXPECT_FALSE(showsInstallSection(ListBody::connecting) || showsInstallSection(ListBody::lost));
}

TEST(Permissions, RowsSummaryAndDefaultOpenFollowWhatThisComputerHas) {
    using N = PublishedState::NotifStatus;
    // Per row (notifications, Bluetooth, cable): state o(k), w(arn), b(ad); action - none, B(luetooth
    // settings), C(heck again), I(nstall section). Then the summary's count and whether the fold starts open.
    struct Row {
        const char* what;
        PermissionFacts facts;
        std::string states, actions;
        std::int64_t count;
        bool open;
    };
    const std::vector<Row> rows = {
        {"all in order", {N::authorized, 5, true, 0, {}}, "ooo", "---", 0, false},
        {"just started", {N::notDetermined, 0, true, 0, {}}, "ooo", "---", 0, false},
        {"adapter off", {N::authorized, 4, true, 0, {}}, "owo", "-B-", 1, false},
        {"no adapter, no adb", {N::authorized, 2, false, 0, {}}, "obw", "--I", 2, false},
        {"no server, service down, phone untrusted", {N::unavailable, 3, true, 1, {}}, "bbw", "CCI", 3, true},
        {"Bluetooth state out of range", {N::authorized, 9, true, 0, {}}, "obo", "-C-", 1, false},
    };
    const std::map<char, PermState> state{
        {'o', PermState::ok}, {'w', PermState::warn}, {'b', PermState::bad}};
    const std::map<char, PermAction> action{{'-', PermAction::none},
                                            {'B', PermAction::openBluetoothSettings},
                                            {'C', PermAction::checkAgain},
                                            {'I', PermAction::showInstallSection}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const std::vector<PermRowView> got = permissionRows(r.facts);
        ASSERT_EQ(got.size(), 3u);
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].state, state.at(r.states[i])) << i;
            EXPECT_EQ(got[i].action, action.at(r.actions[i])) << i;
            EXPECT_EQ(got[i].button.empty(), r.actions[i] == '-') << i;
        }
        const PermSummary summary = permissionSummary(got);
        const char worst = r.states.find('b') != std::string::npos   ? 'b'
                           : r.states.find('w') != std::string::npos ? 'w'
                                                                     : 'o';
        EXPECT_EQ(summary.worst, state.at(worst));
        EXPECT_EQ(summary.text,
                  r.count ? L10n::format("perms.summary.attention", {r.count}) : s("perms.summary.ok"));
        EXPECT_EQ(permissionsOpenByDefault(r.facts), r.open);
    }
    EXPECT_EQ(permissionRows({N::authorized, 0, true, 0, {}})[1].status, s("perms.bt.checking"));
}

// The key's note names where the key really is: the keyring, or the owner-only file when no secret store took
// it.
TEST(PermissionRules, TheKeyNoteNamesWhereTheKeyIsKept) {
    PermissionFacts facts;
    EXPECT_EQ(permissionNotes(facts).front(),
              L10n::format("perms.note.keychain", {s("ref.keychain.always_allow")}));
    facts.keyFile = "~/.local/share/Corvix/identity.key";
    const std::string note = permissionNotes(facts).front();
    EXPECT_NE(note.find("~/.local/share/Corvix/identity.key"), std::string::npos) << note;
    EXPECT_EQ(note.find(s("ref.keychain.always_allow")), std::string::npos) << note;
    EXPECT_EQ(permissionNotes(facts).size(), 2u);  // the phone's note stays

    const struct {
        const char* file;
        const char* home;
        const char* shown;
    } paths[] = {
        {"/home/ana/.local/share/Corvix/identity.key", "/home/ana", "~/.local/share/Corvix/identity.key"},
        {"/home/ana/.local/share/Corvix/identity.key", "/home/ana/", "~/.local/share/Corvix/identity.key"},
        {"/home/anabel/identity.key", "/home/ana", "/home/anabel/identity.key"},  // a longer name is no child
        {"/srv/keys/identity.key", "/home/ana", "/srv/keys/identity.key"},
        {"/srv/keys/identity.key", "", "/srv/keys/identity.key"},  // no home known
    };
    for (const auto& p : paths)
        EXPECT_EQ(shownPath(p.file, p.home), p.shown) << p.file << " under " << p.home;
}

}  // namespace
}  // namespace velmora
