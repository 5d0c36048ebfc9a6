#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/model/link_prefs.h"
#include "core/settings/memory_settings.h"

namespace velmora {
namespace {

using json = nlohmann::json;

// Lists written the way the order line writes them: "usb > !wifi > hotspot > ble".
std::string show(const std::vector<LinkPref>& prefs) {
    std::string line = LinkPrefs::orderLine(prefs);
    return line.substr(std::string("ordem das conexões: ").size());
}

std::vector<LinkPref> parse(const std::string& text) {
    std::vector<LinkPref> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(" > ", pos);
        std::string item = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        bool on = item[0] != '!';
        out.push_back({*connKindFromRaw(on ? item : item.substr(1)), on});
        pos = end == std::string::npos ? text.size() : end + 3;
    }
    return out;
}

TEST(ConnKind, CandidateKeysMapToTheirKindByPrefix) {
    struct Row {
        const char* key;
        std::optional<ConnKind> kind;
    };
    const Row rows[] = {
        {"usb:R58N123", ConnKind::usb},
        {"usb:", ConnKind::usb},
        {"net:0123456789abcdef0123456789abcdef", ConnKind::wifi},
        {"net:0123456789abcdef0123456789abcdef:svc-a1b2c3d4e5f6", ConnKind::wifi},
        {"net:0123:far:10.0.0.9", ConnKind::wifi},
        {"gw:192.168.43.1", ConnKind::hotspot},
        {"ble:AA:BB:CC:DD:EE:FF", ConnKind::ble},
        {"ble", ConnKind::ble},
        {"bleach", ConnKind::ble},  // three letters, no colon needed
        {"manual:phone.lan", std::nullopt},
        {"USB:R58N123", std::nullopt},
        {"NET:abc", std::nullopt},
        {"GW:10.0.0.1", std::nullopt},
        {"BLE:x", std::nullopt},
        {"usb", std::nullopt},
        {"gw", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.key);
        EXPECT_EQ(connKindForCandidateKey(row.key), row.kind);
    }
}

TEST(ConnKind, RawValuesRoundTripAndNothingElseDecodes) {
    for (ConnKind k : kAllConnKinds)
        EXPECT_EQ(connKindFromRaw(rawValue(k)), k);
    EXPECT_EQ(show({{ConnKind::usb}, {ConnKind::wifi}, {ConnKind::hotspot}, {ConnKind::ble}}),
              "usb > wifi > hotspot > ble");
    for (const char* other : {"lte", "USB", "Wifi", "", " ble"})
        EXPECT_FALSE(connKindFromRaw(other)) << other;
}

TEST(LinkPrefs, LoadKeepsTheStoredOrderAndAppendsMissingKindsSwitchedOn) {
    struct Row {
        const char* stored;  // nullptr: nothing stored
        const char* loaded;
    };
    const Row rows[] = {
        {nullptr, "usb > wifi > hotspot > ble"},
        {R"([])", "usb > wifi > hotspot > ble"},
        {R"([{"kind":"ble","enabled":false},{"kind":"usb","enabled":true}])", "!ble > usb > wifi > hotspot"},
        {R"([{"kind":"usb","enabled":false},{"kind":"usb","enabled":true}])",
         "!usb > usb > wifi > hotspot > ble"},
        {R"([{"enabled":true,"kind":"hotspot","extra":1}])", "hotspot > usb > wifi > ble"},
        // Any bad entry makes the whole stored order unreadable: the default order is used.
        {R"([{"kind":"ble","enabled":false},{"kind":"lte","enabled":true}])", "usb > wifi > hotspot > ble"},
        {R"([{"kind":"ble","enabled":false},{"kind":"wifi"}])", "usb > wifi > hotspot > ble"},
        {R"([{"enabled":false}])", "usb > wifi > hotspot > ble"},
        {R"([{"kind":"ble","enabled":0}])", "usb > wifi > hotspot > ble"},
        {R"([{"kind":"ble","enabled":"false"}])", "usb > wifi > hotspot > ble"},
        {R"([{"kind":"BLE","enabled":false}])", "usb > wifi > hotspot > ble"},
        {R"([{"kind":3,"enabled":false}])", "usb > wifi > hotspot > ble"},
        {R"(["ble"])", "usb > wifi > hotspot > ble"},
        {R"({"kind":"ble","enabled":false})", "usb > wifi > hotspot > ble"},
        {R"("[{\"kind\":\"ble\",\"enabled\":false}]")", "usb > wifi > hotspot > ble"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored ? row.stored : "(nothing)");
        MemorySettings settings;
        if (row.stored) settings.setValue("linkPrefs", json::parse(row.stored));
        auto before = settings.value("linkPrefs");
        EXPECT_EQ(show(LinkPrefs::load(settings)), row.loaded);
        EXPECT_EQ(settings.value("linkPrefs"), before);  // nothing written back
    }
}

TEST(LinkPrefs, SaveStoresAnArrayThatLoadsBackExactly) {
    MemorySettings settings;
    auto prefs = parse("!ble > usb > usb > !hotspot > wifi");
    LinkPrefs::save(settings, prefs);
    EXPECT_EQ(*settings.value("linkPrefs"), json::parse(R"([{"kind":"ble","enabled":false},
        {"kind":"usb","enabled":true},{"kind":"usb","enabled":true},{"kind":"hotspot","enabled":false},
        {"kind":"wifi","enabled":true}])"));
    EXPECT_EQ(LinkPrefs::load(settings), prefs);
}

TEST(LinkPrefs, IsEnabledReadsTheFirstEntryOfTheKind) {
    struct Row {
        const char* prefs;
        ConnKind kind;
        bool enabled;
    };
    const Row rows[] = {
        {"usb > wifi > hotspot > ble", ConnKind::wifi, true},
        {"usb > !wifi > hotspot > ble", ConnKind::wifi, false},
        {"!usb > usb > wifi", ConnKind::usb, false},
        {"usb > !usb > wifi", ConnKind::usb, true},
        {"usb > wifi", ConnKind::ble, true},  // not listed: on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.prefs);
        EXPECT_EQ(LinkPrefs::isEnabled(parse(row.prefs), row.kind), row.enabled);
    }
}

// One row per operation: the list before, the call, and the list and log line after ("" when ignored).
struct OpRow {
    const char* before;
    std::function<std::optional<LinkPrefsChange>(const std::vector<LinkPref>&)> op;
    const char* after;  // nullptr: ignored
    const char* log;
};

void runOps(const std::vector<OpRow>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE("row " + std::to_string(i) + ": " + row.before);
        auto change = row.op(parse(row.before));
        if (!row.after) {
            EXPECT_FALSE(change) << (change ? change->logLine : "");
            continue;
        }
        ASSERT_TRUE(change);
        EXPECT_EQ(show(change->prefs), row.after);
        EXPECT_EQ(change->logLine, row.log);
    }
}

TEST(LinkPrefs, SetEnabledChangesTheFirstEntryEvenWhenAlreadySo) {
    using LinkPrefs::setEnabled;
    runOps({
        {"usb > wifi > hotspot > ble", [](auto& p) { return setEnabled(p, ConnKind::wifi, false); },
         "usb > !wifi > hotspot > ble", "tipo de conexão wifi: desligado"},
        {"usb > !wifi > hotspot > ble", [](auto& p) { return setEnabled(p, ConnKind::wifi, false); },
         "usb > !wifi > hotspot > ble", "tipo de conexão wifi: desligado"},
        {"usb > !wifi > hotspot > ble", [](auto& p) { return setEnabled(p, ConnKind::wifi, true); },
         "usb > wifi > hotspot > ble", "tipo de conexão wifi: ligado"},
        {"!ble > usb > ble", [](auto& p) { return setEnabled(p, ConnKind::ble, true); }, "ble > usb > ble",
         "tipo de conexão ble: ligado"},
        {"usb > wifi", [](auto& p) { return setEnabled(p, ConnKind::hotspot, false); }, nullptr, ""},
    });
}

TEST(LinkPrefs, MoveSwapsWithTheEntrySoManyPlacesAway) {
    using LinkPrefs::move;
    runOps({
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::usb, -1); }, nullptr, ""},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::ble, -1); },
         "usb > wifi > ble > hotspot", "ordem das conexões: usb > wifi > ble > hotspot"},
        {"usb > !wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::usb, 1); },
         "!wifi > usb > hotspot > ble", "ordem das conexões: !wifi > usb > hotspot > ble"},
        // A swap, not a shift: the entries in between keep their places.
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::usb, 3); },
         "ble > wifi > hotspot > usb", "ordem das conexões: ble > wifi > hotspot > usb"},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::ble, -3); },
         "ble > wifi > hotspot > usb", "ordem das conexões: ble > wifi > hotspot > usb"},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::hotspot, 0); },
         "usb > wifi > hotspot > ble", "ordem das conexões: usb > wifi > hotspot > ble"},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::ble, 1); }, nullptr, ""},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::usb, 4); }, nullptr, ""},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::wifi, -2); }, nullptr, ""},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::wifi, INT64_MAX); }, nullptr,
         ""},
        {"usb > wifi > hotspot > ble", [](auto& p) { return move(p, ConnKind::wifi, INT64_MIN); }, nullptr,
         ""},
        {"usb > wifi", [](auto& p) { return move(p, ConnKind::ble, -1); }, nullptr, ""},
        {"wifi > usb > usb", [](auto& p) { return move(p, ConnKind::usb, -1); }, "usb > wifi > usb",
         "ordem das conexões: usb > wifi > usb"},
    });
}

TEST(LinkPrefs, ReorderDropsInFrontWhenDraggedUpAndBehindWhenDraggedDown) {
    using LinkPrefs::reorder;
    runOps({
        {"usb > wifi > hotspot > ble", [](auto& p) { return reorder(p, ConnKind::usb, ConnKind::hotspot); },
         "wifi > hotspot > usb > ble", "ordem das conexões: wifi > hotspot > usb > ble"},
        {"usb > wifi > hotspot > ble", [](auto& p) { return reorder(p, ConnKind::ble, ConnKind::wifi); },
         "usb > ble > wifi > hotspot", "ordem das conexões: usb > ble > wifi > hotspot"},
        {"usb > !wifi > hotspot > ble", [](auto& p) { return reorder(p, ConnKind::wifi, ConnKind::usb); },
         "!wifi > usb > hotspot > ble", "ordem das conexões: !wifi > usb > hotspot > ble"},
        {"usb > wifi > hotspot > ble", [](auto& p) { return reorder(p, ConnKind::usb, ConnKind::ble); },
         "wifi > hotspot > ble > usb", "ordem das conexões: wifi > hotspot > ble > usb"},
        {"usb > wifi > hotspot > ble", [](auto& p) { return reorder(p, ConnKind::wifi, ConnKind::wifi); },
         nullptr, ""},
        {"usb > wifi", [](auto& p) { return reorder(p, ConnKind::ble, ConnKind::usb); }, nullptr, ""},
        {"usb > wifi", [](auto& p) { return reorder(p, ConnKind::usb, ConnKind::ble); }, nullptr, ""},
    });
}

}  // namespace
}  // namespace velmora
