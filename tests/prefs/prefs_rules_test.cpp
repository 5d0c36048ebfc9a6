// The preferences' rules as tables: search folding and collation, the buttons' reach, the counts of the
// summary, the keep-one lock, what a drop carries, and the typed address.
#include <gtest/gtest.h>

#include "app/model/discovery/manual_address.h"
#include "app/shell/prefs/logic/prefs_rules.h"

namespace velmora::prefs {
namespace {

std::vector<std::string> names(const std::vector<PhoneApp>& apps) {
    std::vector<std::string> out;
    for (const auto& app : apps)
        out.push_back(app.name);
    return out;
}

const std::vector<PhoneApp> kApps = {
    {"p.cafe", "Café Bar"}, {"p.est", "Estúdio"},        {"p.caf2", "CAFETERIA"}, {"p.low", "zebra"},
    {"p.up", "Zebra"},      {"com.bank.secure", "Bank"}, {"p.empty", ""},         {"p.nbsp", "Kit\u00A0Box"}};

TEST(NotifList, SearchFoldsCaseAndAccentsTrimsOnlySpacesAndSortsStably) {
    const QLocale locale(QLocale::English);
    struct Row {
        QString query;
        std::vector<std::string> want;
    };
    const Row rows[] = {
        // Equal names under the collation keep the model's order ("zebra" before "Zebra").
        {"", {"", "Bank", "Café Bar", "CAFETERIA", "Estúdio", "Kit\u00A0Box", "zebra", "Zebra"}},
        {" \t\u2003", {"", "Bank", "Café Bar", "CAFETERIA", "Estúdio", "Kit\u00A0Box", "zebra", "Zebra"}},
        {"cafe", {"Café Bar", "CAFETERIA"}},
        {"  CAFÉ\t", {"Café Bar", "CAFETERIA"}},
        {"É", {"Café Bar", "CAFETERIA", "Estúdio", "zebra", "Zebra"}},
        {"estu", {"Estúdio"}},
        {"secure", {}},  // the package is never searched
        {"cafe\n", {}},  // a line break is kept, and no name holds one
        {"t\u00A0b", {"Kit\u00A0Box"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(names(shownApps(kApps, row.query, locale)), row.want) << row.query.toStdString();
}

TEST(NotifList, ButtonsReachTheDefaultOnlyForABlankSearch) {
    const QLocale locale(QLocale::English);
    EXPECT_TRUE(shownChange(kApps, "  ", locale).wholeFilter);
    const auto some = shownChange(kApps, "caf", locale);
    EXPECT_FALSE(some.wholeFilter);
    EXPECT_EQ(some.pkgs, (std::vector<std::string>{"p.cafe", "p.caf2"}));
    EXPECT_TRUE(shownChange(kApps, "nothing", locale).pkgs.empty());
    EXPECT_EQ(monogram("émile"), "É");
    EXPECT_EQ(monogram(""), "");
    EXPECT_EQ(monogram("\U0001D49Cbc"), "\U0001D49C");  // a letter outside the BMP stays whole
}

TEST(PrefsRules, SummaryCountsKindsOnAndAppsShown) {
    const std::vector<PhoneApp> five = {{"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}, {"e", "E"}};
    const std::vector<LinkPref> threeOfFour = {
        {ConnKind::usb, true}, {ConnKind::wifi, false}, {ConnKind::hotspot, true}, {ConnKind::ble, true}};
    struct Row {
        std::vector<PhoneApp> apps;
        NotifFilter filter;
        SummaryCounts want;
    };
    const Row rows[] = {
        {five, {true, {{"a", false}, {"b", false}}}, {3, 3}},
        {five, {false, {{"a", true}, {"zz", true}}}, {3, 1}},  // a choice for an unknown app counts nothing
        {{}, {true, {}}, {3, 0}},
        {{}, {false, {{"a", true}}}, {3, 0}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(summaryCounts(threeOfFour, row.apps, row.filter), row.want);
}

TEST(PrefsRules, TheLastKindOnIsLockedAndAKindOffNeverIs) {
    using P = std::vector<LinkPref>;
    const P oneOn = {{ConnKind::ble, true}, {ConnKind::usb, false}, {ConnKind::wifi, false}};
    const P twoOn = {{ConnKind::ble, true}, {ConnKind::usb, true}, {ConnKind::wifi, false}};
    const P noneOn = {{ConnKind::ble, false}, {ConnKind::usb, false}};
    struct Row {
        P prefs;
        std::vector<bool> locked;
    };
    const Row rows[] = {
        {oneOn, {true, false, false}}, {twoOn, {false, false, false}}, {noneOn, {false, false}}};
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.prefs.size(); ++i)
            EXPECT_EQ(keepOneHolds(row.prefs, i), row.locked[i]) << i;
    EXPECT_FALSE(keepOneHolds(oneOn, 9));
    EXPECT_EQ(bluetoothOnlyPreset().prefs.front(), (LinkPref{ConnKind::ble, true}));
    EXPECT_TRUE(keepOneHolds(bluetoothOnlyPreset().prefs, 0));
}

TEST(PrefsRules, ADropCarriesItsFirstTextWhenItNamesAKindExactly) {
    const std::pair<QStringList, std::optional<ConnKind>> rows[] = {
        {{"usb"}, ConnKind::usb},   {{"hotspot", "usb"}, ConnKind::hotspot},
        {{}, std::nullopt},         {{""}, std::nullopt},
        {{"USB"}, std::nullopt},    {{" ble"}, std::nullopt},
        {{"wifi\n"}, std::nullopt}, {{"bleach"}, std::nullopt},
    };
    for (const auto& [texts, want] : rows)
        EXPECT_EQ(droppedKind(texts), want) << texts.join('|').toStdString();
}

TEST(ManualAddress, IPv4KeepsItsRulesAndIPv6IsReadWholeOrInBrackets) {
    const std::pair<const char*, std::optional<TcpEndpoint>> rows[] = {
        {"10.0.0.5", TcpEndpoint{"10.0.0.5", 47625}},
        {"10.0.0.5:5555", TcpEndpoint{"10.0.0.5", 5555}},
        {"10.0.0.5:x", TcpEndpoint{"10.0.0.5", 47625}},
        {"10.0.0.5:5555:9", TcpEndpoint{"10.0.0.5", 5555}},
        {" 10.0.0.5", TcpEndpoint{" 10.0.0.5", 47625}},
        {":", std::nullopt},
        {"::", std::nullopt},
        {"", std::nullopt},
        {"fe80::1", TcpEndpoint{"fe80::1", 47625}},
        {"fe80::1%eth0", TcpEndpoint{"fe80::1%eth0", 47625}},
        {"2001:db8::7:1", TcpEndpoint{"2001:db8::7:1", 47625}},
        {"::1", TcpEndpoint{"::1", 47625}},
        {"[fe80::1]:5555", TcpEndpoint{"fe80::1", 5555}},
        {"[fe80::1]", TcpEndpoint{"fe80::1", 47625}},
        {"[fe80::1]:x", TcpEndpoint{"fe80::1", 47625}},
        {"[::1]:70000", TcpEndpoint{"::1", 47625}},
        {"[fe80::1", std::nullopt},
        {"[]:5555", std::nullopt},
        {"fe80::zz", TcpEndpoint{"fe80", 47625}},  // not an address: the colon rule as before
    };
    for (const auto& [text, want] : rows)
        EXPECT_EQ(parseManualAddress(text, 47625), want) << text;
}

}  // namespace
}  // namespace velmora::prefs
