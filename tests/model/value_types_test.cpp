#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/model/conn_state.h"
#include "app/model/discovered_phone.h"
#include "app/model/phone_app.h"
#include "app/model/preview_identity.h"

namespace velmora {
namespace {

using json = nlohmann::json;

TEST(ConnState, SameCaseAndSameTextAreEqual) {
    EXPECT_EQ(ConnState::idle(), ConnState());
    EXPECT_EQ(ConnState::connecting("Phone_7"), ConnState::connecting("Phone_7"));
    EXPECT_NE(ConnState::connecting("Phone_7"), ConnState::connected("Phone_7"));
    EXPECT_NE(ConnState::connected("Phone_7"), ConnState::connected("Phone_7 (USB)"));
    EXPECT_NE(ConnState::connecting(""), ConnState::idle());
    EXPECT_EQ(ConnState::idle().label(), "");
}

TEST(PhoneApps, DecodeIsStrictAboutEveryElement) {
    struct Row {
        const char* stored;
        std::optional<std::vector<PhoneApp>> decoded;
    };
    const Row rows[] = {
        {R"([{"pkg":"com.example.chat","name":"Chat"}])",
         std::vector<PhoneApp>{{"com.example.chat", "Chat"}}},
        {R"([{"name":"Chat","pkg":"com.example.chat","icon":"x"}])",
         std::vector<PhoneApp>{{"com.example.chat", "Chat"}}},
        {R"([])", std::vector<PhoneApp>{}},
        {R"([{"pkg":"a","name":"A"},{"pkg":"a","name":"A"}])", std::vector<PhoneApp>{{"a", "A"}, {"a", "A"}}},
        {R"([{"pkg":"a","name":"A"},{"pkg":"com.example.chat"}])", std::nullopt},
        {R"([{"name":"Chat"}])", std::nullopt},
        {R"([{"pkg":"a","name":null}])", std::nullopt},
        {R"([{"pkg":7,"name":"A"}])", std::nullopt},
        {R"(["com.example.chat"])", std::nullopt},
        {R"({"pkg":"a","name":"A"})", std::nullopt},
        {R"(null)", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        EXPECT_EQ(PhoneApps::decode(json::parse(row.stored)), row.decoded);
    }
}

TEST(PhoneApps, EncodeKeepsListOrderAndDecodesBack) {
    std::vector<PhoneApp> apps{{"z.last", "Zed"}, {"a.first", "Ay"}, {"", ""}};
    json encoded = PhoneApps::encode(apps);
    EXPECT_EQ(encoded, json::parse(R"([{"pkg":"z.last","name":"Zed"},{"pkg":"a.first","name":"Ay"},
        {"pkg":"","name":""}])"));
    EXPECT_EQ(PhoneApps::decode(encoded), apps);
}

TEST(DiscoveredPhone, OnlyAPeripheralIdentifierMakesItBluetooth) {
    DiscoveredPhone usb{.id = "usb:R58N123",
                        .name = "Phone_7",
                        .endpoint = TcpEndpoint{"127.0.0.1", 47001},
                        .bleID = std::nullopt,
                        .devicePrefix = std::nullopt,
                        .ip = std::nullopt,
                        .pairFlag = std::nullopt,
                        .epKey = "",
                        .bleAlts = {"AA:BB:CC:DD:EE:02"}};
    EXPECT_FALSE(usb.isBle());
    DiscoveredPhone ble = usb;
    ble.id = "ble:AA:BB:CC:DD:EE:01";
    ble.endpoint.reset();
    ble.bleID = "AA:BB:CC:DD:EE:01";
    EXPECT_TRUE(ble.isBle());
}

TEST(DiscoveredPhone, EveryFieldTakesPartInEquality) {
    const DiscoveredPhone base{.id = "0123456789abcdef0123456789abcdef",
                               .name = "Phone-7-Pro",
                               .endpoint = TcpEndpoint{"10.0.0.20", 47625},
                               .bleID = std::nullopt,
                               .devicePrefix = std::nullopt,
                               .ip = "10.0.0.20",
                               .pairFlag = std::nullopt,
                               .epKey = "svc-a1b2c3d4e5f6",
                               .bleAlts = {}};
    const std::vector<std::pair<const char*, std::function<void(DiscoveredPhone&)>>> changes = {
        {"id", [](auto& p) { p.id = "fedcba9876543210fedcba9876543210"; }},
        {"name", [](auto& p) { p.name = "Other"; }},
        {"endpoint port", [](auto& p) { p.endpoint->port = 47626; }},
        {"endpoint absent", [](auto& p) { p.endpoint.reset(); }},
        {"bleID", [](auto& p) { p.bleID = "AA:BB:CC:DD:EE:01"; }},
        {"devicePrefix", [](auto& p) { p.devicePrefix = "01234567"; }},
        {"ip", [](auto& p) { p.ip.reset(); }},
        {"pairFlag false versus absent", [](auto& p) { p.pairFlag = false; }},
        {"epKey", [](auto& p) { p.epKey.clear(); }},
        {"bleAlts", [](auto& p) { p.bleAlts = {"AA:BB:CC:DD:EE:02"}; }},
    };
    for (const auto& [name, change] : changes) {
        DiscoveredPhone other = base;
        change(other);
        EXPECT_NE(other, base) << name;
    }
    EXPECT_EQ(DiscoveredPhone(base), base);
}

TEST(PreviewIdentity, FixedPlaceholderIdentityUsableWhereverAnIdentityIs) {
    PreviewIdentity preview;
    const Identity& id = preview;
    EXPECT_EQ(id.publicX963(), Bytes(65, 0x04));
    EXPECT_EQ(id.deviceName().size(), 11u);
    EXPECT_EQ(id.platform(), "mac");
    const Bytes zeros(64, 0);
    EXPECT_EQ(id.sign(Bytes{}), zeros);
    EXPECT_EQ(id.sign(Bytes(100000, 0xab)), zeros);
}

}  // namespace
}  // namespace velmora
