#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/model/connection/handshake_watch.h"
#include "app/model/connection/idle_policy.h"
#include "app/model/connection/link_prefs.h"
#include "app/model/features/phone_app.h"
#include "core/discovery/ble_freshness.h"
#include "core/settings/memory_settings.h"

namespace velmora {
namespace {

using IdlePolicy::Stay;
using enum ConnKind;

// The reason to stay (none: descend) when every condition favours a descent (the screen off for exactly
// 60 s) except those `spoil` changes.
std::optional<Stay> decide(const std::function<void(IdlePolicy::DescendInputs&)>& spoil) {
    IdlePolicy::DescendInputs in;
    in.tcpSession = in.phoneReportsScreen = in.bluetoothAllowed = in.bluetoothReady = true;
    in.phoneScreenOffFor = 60;
    spoil(in);
    return IdlePolicy::descend(in).stay;
}

TEST(IdlePolicy, TheFirstRuleThatHoldsDecides) {
    EXPECT_EQ(decide([](auto&) {}), std::nullopt);
    EXPECT_EQ(decide([](auto& in) { in.tcpSession = false, in.cable = true; }), Stay::notTcp);
    EXPECT_EQ(decide([](auto& in) { in.cable = true, in.phoneReportsScreen = false; }), Stay::cable);
    EXPECT_EQ(decide([](auto& in) { in.phoneReportsScreen = false, in.phoneScreenOffFor.reset(); }),
              Stay::oldPhone);
    EXPECT_EQ(decide([](auto& in) { in.phoneScreenOffFor.reset(), in.mirroring = true; }), Stay::screenOn);
    EXPECT_EQ(decide([](auto& in) { in.transferring = true, in.busy = true; }), Stay::fastActivity);
    EXPECT_EQ(decide([](auto& in) { in.busy = true, in.phoneScreenOffFor = 1; }), Stay::busy);
    EXPECT_EQ(decide([](auto& in) { in.phoneScreenOffFor = 59.9, in.bluetoothAllowed = false; }),
              Stay::notIdleLongEnough);
    EXPECT_EQ(decide([](auto& in) { in.bluetoothAllowed = false; }), Stay::bluetoothOff);
    EXPECT_EQ(decide([](auto& in) { in.bluetoothReady = false, in.cooldown = true; }),
              Stay::bluetoothUnavailable);
    EXPECT_EQ(decide([](auto& in) { in.cooldown = true; }), Stay::cooldown);
}

TEST(HandshakeWatch, ClosesOnlyPastTheLimitSinceTheLaterOfStartAndLastPrompt) {
    using HandshakeWatch::shouldClose, HandshakeWatch::limit;
    EXPECT_FALSE(shouldClose(0, -30, std::nullopt, true, limit));  // never while the prompt shows
    EXPECT_FALSE(shouldClose(0, -20, std::nullopt, false, limit));
    EXPECT_TRUE(shouldClose(0, -20.001, std::nullopt, false, limit));
    EXPECT_FALSE(shouldClose(0, -60, -20, false, limit));  // counted from the end of the prompt
    EXPECT_TRUE(shouldClose(0, -60, -20.001, false, limit));
    EXPECT_TRUE(shouldClose(0, -30, -40, false, limit));  // a prompt end before the start does not count
}

TEST(BleFreshness, SightingsFromBeforeADropInTheLastMinuteAreHidden) {
    constexpr double t = 500;
    BleFreshness fresh;
    fresh.noteDisconnect("A", t - 100);
    fresh.noteDisconnect("A", t);                  // a later drop replaces the earlier one
    EXPECT_FALSE(fresh.isUsable("A", t, t + 30));  // seen at the very moment of the drop: not after it
    EXPECT_TRUE(fresh.isUsable("A", t + 0.001, t + 1));
    EXPECT_FALSE(fresh.isUsable("A", t - 1, t + 60));  // exactly 60 s: the drop still counts
    EXPECT_TRUE(fresh.isUsable("A", t - 1, t + 60.001));
    EXPECT_TRUE(fresh.isUsable("B", t - 100, t));  // never dropped
    fresh.noteDisconnect("C", t + 10);
    fresh.prune(t + 60);
    EXPECT_EQ(fresh.droppedAt.size(), 2u);
    fresh.prune(t + 60.001);
    EXPECT_EQ(fresh.droppedAt.size(), 1u);
    EXPECT_TRUE(fresh.droppedAt.contains("C"));
}

using json = nlohmann::json;
const std::string kOrderLine = "ordem das conexões: ";
const char* const kDefault = "usb > wifi > hotspot > ble";

// Lists written the way the order line writes them: "usb > !wifi > hotspot > ble".
std::string show(const std::vector<LinkPref>& prefs) {
    return LinkPrefs::orderLine(prefs).substr(kOrderLine.size());
}

std::vector<LinkPref> parse(const std::string& text) {
    std::vector<LinkPref> out;
    std::istringstream in(text);
    for (std::string item; in >> item;)
        if (item != ">")
            out.push_back({*connKindFromRaw(item.substr(item[0] == '!' ? 1 : 0)), item[0] != '!'});
    return out;
}

TEST(LinkPrefs, LoadKeepsTheStoredOrderAppendsMissingKindsAndRefusesAnyBadEntry) {
    const std::pair<const char*, const char*> rows[] = {
        {nullptr, kDefault},
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
