#include <gtest/gtest.h>

#include "app/model/link_prefs.h"
#include "app/model/phone_app.h"
#include "core/settings/memory_settings.h"

namespace velmora {
namespace {

using json = nlohmann::json;
using enum ConnKind;
const std::string kOrderLine = "ordem das conexões: ";
const char* const kDefault = "usb > wifi > hotspot > ble";

// Lists written the way the order line writes them: "usb > !wifi > hotspot > ble".
std::string show(const std::vector<LinkPref>& prefs) {
    return LinkPrefs::orderLine(prefs).substr(kOrderLine.size());
}

std::vector<LinkPref> parse(const std::string& text) {
    std::vector<LinkPref> out;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find(" > ", pos), text.size());
        const bool on = text[pos] != '!';
        out.push_back({*connKindFromRaw(text.substr(on ? pos : pos + 1, end - pos - (on ? 0 : 1))), on});
        pos = end + 3;
    }
    return out;
}

TEST(LinkPrefs, LoadKeepsTheStoredOrderAppendsMissingKindsAndRefusesAnyBadEntry) {
    const std::pair<const char*, const char*> rows[] = {
        {nullptr, kDefault},
        {R"([])", kDefault},
        {R"([{"kind":"ble","enabled":false},{"kind":"usb","enabled":true}])", "!ble > usb > wifi > hotspot"},
        {R"([{"kind":"usb","enabled":false},{"kind":"usb","enabled":true}])",
         "!usb > usb > wifi > hotspot > ble"},
        {R"([{"enabled":true,"kind":"hotspot","extra":1}])", "hotspot > usb > wifi > ble"},
        {R"([{"kind":"ble","enabled":false},{"kind":"lte","enabled":true}])", kDefault},
        {R"([{"kind":"ble","enabled":false},{"kind":"wifi"}])", kDefault},
        {R"([{"kind":"ble","enabled":"false"}])", kDefault},
        {R"(["ble"])", kDefault},
        {R"({"kind":"ble","enabled":false})", kDefault},
    };
    for (const auto& [stored, loaded] : rows) {
        MemorySettings settings;
        if (stored) settings.setValue("linkPrefs", json::parse(stored));
        const auto before = settings.value("linkPrefs");
        EXPECT_EQ(show(LinkPrefs::load(settings)), loaded) << (stored ? stored : "(nothing)");
        EXPECT_EQ(settings.value("linkPrefs"), before);  // nothing written back
    }
    MemorySettings settings;
    const auto prefs = parse("!ble > usb > usb > !hotspot > wifi");
    LinkPrefs::save(settings, prefs);
    EXPECT_EQ(*settings.value("linkPrefs"), json::parse(R"([{"kind":"ble","enabled":false},
        {"kind":"usb","enabled":true},{"kind":"usb","enabled":true},{"kind":"hotspot","enabled":false},
        {"kind":"wifi","enabled":true}])"));
    EXPECT_EQ(LinkPrefs::load(settings), prefs);
}

// The list after a change and, when it is not the order line, its log line; "refused" for no change.
std::string after(const std::optional<LinkPrefsChange>& change) {
    if (!change) return "refused";
    const std::string list = show(change->prefs);
    return change->logLine == kOrderLine + list ? list : list + " | " + change->logLine;
}

TEST(LinkPrefs, SetEnabledMoveAndReorderChangeTheFirstEntryOfAKindWithinTheList) {
    using namespace LinkPrefs;
    const auto def = parse(kDefault), usbWifi = parse("usb > wifi");
    const std::pair<std::optional<LinkPrefsChange>, const char*> rows[] = {
        {setEnabled(def, wifi, false), "usb > !wifi > hotspot > ble | tipo de conexão wifi: desligado"},
        {setEnabled(parse("usb > !wifi"), wifi, false), "usb > !wifi | tipo de conexão wifi: desligado"},
        {setEnabled(parse("!ble > usb > ble"), ble, true), "ble > usb > ble | tipo de conexão ble: ligado"},
        {setEnabled(usbWifi, hotspot, false), "refused"},
        // Moves swap with the entry so many places away; the entries in between keep their places.
        {move(def, usb, 3), "ble > wifi > hotspot > usb"},
        {move(def, ble, -3), "ble > wifi > hotspot > usb"},
        {move(parse("wifi > usb > usb"), usb, -1), "usb > wifi > usb"},
        {move(def, usb, 4), "refused"},
        {move(def, wifi, -2), "refused"},
        {move(def, wifi, INT64_MAX), "refused"},
        {move(def, wifi, INT64_MIN), "refused"},
        {move(usbWifi, ble, -1), "refused"},
        // A drop lands in front of `before` when dragged up and behind it when dragged down.
        {reorder(def, usb, hotspot), "wifi > hotspot > usb > ble"},
        {reorder(parse("usb > !wifi > hotspot > ble"), hotspot, wifi), "usb > hotspot > !wifi > ble"},
        {reorder(def, usb, ble), "wifi > hotspot > ble > usb"},
        {reorder(def, wifi, wifi), "refused"},
        {reorder(usbWifi, usb, ble), "refused"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(after(rows[i].first), rows[i].second) << "row " << i;
}

TEST(PhoneApps, DecodeIsStrictAboutEveryElementAndEncodeDecodesBack) {
    using Apps = std::optional<std::vector<PhoneApp>>;
    const std::pair<const char*, Apps> rows[] = {
        {R"([{"name":"Chat","pkg":"com.example.chat","icon":"x"},{"pkg":"a","name":"A"}])",
         std::vector<PhoneApp>{{"com.example.chat", "Chat"}, {"a", "A"}}},
        {R"([])", std::vector<PhoneApp>{}},
        {R"([{"pkg":"a","name":"A"},{"pkg":"com.example.chat"}])", std::nullopt},
        {R"([{"pkg":"a","name":null}])", std::nullopt},
        {R"(["com.example.chat"])", std::nullopt},
        {R"({"pkg":"a","name":"A"})", std::nullopt},
    };
    for (const auto& [stored, decoded] : rows)
        EXPECT_EQ(PhoneApps::decode(json::parse(stored)), decoded) << stored;
    const std::vector<PhoneApp> apps{{"z.last", "Zed"}, {"a.first", "Ay"}, {"", ""}};
    EXPECT_EQ(
        PhoneApps::encode(apps),
        json::parse(R"([{"pkg":"z.last","name":"Zed"},{"pkg":"a.first","name":"Ay"},{"pkg":"","name":""}])"));
    EXPECT_EQ(PhoneApps::decode(PhoneApps::encode(apps)), apps);
}

}  // namespace
}  // namespace velmora
