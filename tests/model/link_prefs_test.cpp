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
        {"gw:192.168.43.1", ConnKind::hotspot},
        {"ble:AA:BB:CC:DD:EE:FF", ConnKind::ble},
        {"bleach", ConnKind::ble},  // three letters, no colon needed
        {"manual:phone.lan", std::nullopt},
        {"USB:R58N123", std::nullopt},
        {"usb", std::nullopt},
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
        {R"([{"kind":"ble","enabled":"false"}])", "usb > wifi > hotspot > ble"},
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

// One row per operation: the list before, the call, and the list after (nullptr when ignored) with its
// log line (for moves: the order line).
struct OpRow {
    const char* before;
    std::function<std::optional<LinkPrefsChange>(const std::vector<LinkPref>&)> op;
    const char* after;
    std::string log = {};
};

const char* const kDefault = "usb > wifi > hotspot > ble";

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
        EXPECT_EQ(change->logLine,
                  row.log.empty() ? "ordem das conexões: " + std::string(row.after) : row.log);
    }
}

TEST(LinkPrefs, SetEnabledChangesTheFirstEntryEvenWhenAlreadySo) {
    using LinkPrefs::setEnabled;
    runOps({
        {kDefault, [](auto& p) { return setEnabled(p, ConnKind::wifi, false); },
         "usb > !wifi > hotspot > ble", "tipo de conexão wifi: desligado"},
        {"usb > !wifi > hotspot > ble", [](auto& p) { return setEnabled(p, ConnKind::wifi, false); },
         "usb > !wifi > hotspot > ble", "tipo de conexão wifi: desligado"},
        {"usb > !wifi > hotspot > ble", [](auto& p) { return setEnabled(p, ConnKind::wifi, true); }, kDefault,
         "tipo de conexão wifi: ligado"},
        {"!ble > usb > ble", [](auto& p) { return setEnabled(p, ConnKind::ble, true); }, "ble > usb > ble",
         "tipo de conexão ble: ligado"},
        {"usb > wifi", [](auto& p) { return setEnabled(p, ConnKind::hotspot, false); }, nullptr},
    });
}

TEST(LinkPrefs, MoveSwapsWithTheEntrySoManyPlacesAway) {
    const auto move = [](ConnKind kind, std::int64_t by) {
        return [=](auto& p) { return LinkPrefs::move(p, kind, by); };
    };
    runOps({
        {"usb > !wifi > hotspot > ble", move(ConnKind::usb, 1), "!wifi > usb > hotspot > ble"},
        // A swap, not a shift: the entries in between keep their places.
        {kDefault, move(ConnKind::usb, 3), "ble > wifi > hotspot > usb"},
        {kDefault, move(ConnKind::ble, -3), "ble > wifi > hotspot > usb"},
        {kDefault, move(ConnKind::hotspot, 0), kDefault},
        {kDefault, move(ConnKind::usb, 4), nullptr},
        {kDefault, move(ConnKind::wifi, -2), nullptr},
        {kDefault, move(ConnKind::wifi, INT64_MAX), nullptr},
        {kDefault, move(ConnKind::wifi, INT64_MIN), nullptr},
        {"usb > wifi", move(ConnKind::ble, -1), nullptr},
        {"wifi > usb > usb", move(ConnKind::usb, -1), "usb > wifi > usb"},
    });
}

TEST(LinkPrefs, ReorderDropsInFrontWhenDraggedUpAndBehindWhenDraggedDown) {
    const auto reorder = [](ConnKind kind, ConnKind before) {
        return [=](auto& p) { return LinkPrefs::reorder(p, kind, before); };
    };
    runOps({
        {kDefault, reorder(ConnKind::usb, ConnKind::hotspot), "wifi > hotspot > usb > ble"},
        {kDefault, reorder(ConnKind::ble, ConnKind::wifi), "usb > ble > wifi > hotspot"},
        {"usb > !wifi > hotspot > ble", reorder(ConnKind::wifi, ConnKind::usb),
         "!wifi > usb > hotspot > ble"},
        {kDefault, reorder(ConnKind::usb, ConnKind::ble), "wifi > hotspot > ble > usb"},
        {kDefault, reorder(ConnKind::wifi, ConnKind::wifi), nullptr},
        {"usb > wifi", reorder(ConnKind::ble, ConnKind::usb), nullptr},
        {"usb > wifi", reorder(ConnKind::usb, ConnKind::ble), nullptr},
    });
}

}  // namespace
}  // namespace velmora
