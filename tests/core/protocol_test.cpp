#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/discovery/candidate_key.h"
#include "core/discovery/discovery.h"
#include "core/discovery/pairing_beacon.h"
#include "core/net/ipv4.h"
#include "core/protocol/control_json.h"
#include "core/protocol/inbound.h"
#include "core/protocol/json_guard.h"
#include "helpers.h"

namespace velmora {
namespace {

using nlohmann::json;
using Json = json;
using test::bytesOf;
using S = std::string;
constexpr std::size_t kControlMax = 2097152;

// The text of the protocol error `action` threw, "" when it threw nothing; anything else shows as itself.
std::string refusal(const std::function<void()>& action) {
    const std::string out = test::outcomeOf(action);
    return out == "no error"                      ? ""
           : out.rfind("protocolError: ", 0) == 0 ? out.substr(15)
                                                  : "unexpected " + out;
}
std::string guard(const std::string& text, std::size_t maxDepth = 16, std::size_t maxItems = 50000) {
    return refusal([&] { JsonGuard::check(bytesOf(text), maxDepth, maxItems); });
}
std::string decode(const std::string& text, std::size_t maxBytes = kControlMax) {
    return refusal([&] { EXPECT_TRUE(decodeJSON(bytesOf(text), maxBytes).is_object()) << text; });
}

TEST(JsonGuard, CountsDepthAndElementsOnlyOutsideStrings) {
    const S deep = "JSON aninhado demais", wide = "JSON com elementos demais";
    test::expectRows({
        {guard(""), ""},
        {guard(S(9, '{') + S(8, '[')), deep},
        {guard(S(16, '[') + "]["), ""},                     // closers keep the depth down
        {guard(S(5, ']') + S(17, '[')), deep},              // but bank no credit
        {guard(R"({"a":"\"[[[[[[[[[[[[[[[[[[[[["})"), ""},  // an escaped quote keeps the string open
        {guard(R"(["\\",)" + S(16, '[')), deep},            // a double backslash ends the escape
        {guard(R"({"a":"[[[[[[[[[[[[[[[[[[[[)"), ""},       // an unterminated string is left to the parser
        {guard("[" + S(50000, ',') + "]"), ""},
        {guard("[" + S(50001, ',') + "]"), wide},
        {guard("[\"" + S(60000, ',') + "\"]"), ""},
        // The first violation in the bytes decides.
        {guard(S(3, '[') + S(5, ','), 2, 2), deep},
        {guard(S(5, ',') + S(3, '['), 2, 2), wide},
    });
}

TEST(DecodeJSON, RefusesEverythingButAnObjectWithinTheLimitsWithItsOwnError) {
    const S invalid = "mensagem inválida (JSON)";
    const auto objectOfSize = [](std::size_t n) { return "{\"p\":\"" + S(n - 8, 'x') + "\"}"; };
    test::expectRows({
        {decode(objectOfSize(kControlMax)), ""},
        {decode(objectOfSize(kControlMax + 1)), "mensagem grande demais"},
        {decode(S(40, '['), 39), "mensagem grande demais"},  // too large wins: the payload is not scanned
        {decode(R"([{"t":"auth"}])"), invalid},
        {decode(R"({"n":-1e400})"), invalid},  // beyond a double
        {decode("{\"t\":\"\xC3\x28\"}"), invalid},
        {decode(R"({"t":"a"}{"t":"b"})"), invalid},
        {decode("{\"a\":" + S(16, '[') + S(16, ']') + "}"), "JSON aninhado demais"},
        {decode("{\"a\":" + S(15, '[') + S(15, ']') + "}"), ""},
        {decode("\xEF\xBB\xBF{\"t\":\"ready\"}"), ""},  // after a byte-order mark
    });
    // Duplicate keys: the last one counts.
    EXPECT_EQ(decodeJSON(bytesOf(R"({"t":"a","t":"b"})"), kControlMax).at("t"), "b");
}

TEST(EncodeJSON, WritesCompactTextAndFallsBackToAnEmptyObjectForWhatJsonCannotCarry) {
    const json nested = {{"t", "x"}, {"a", json::array({1, 2.5, true, nullptr})}, {"o", {{"k", "v"}}}};
    const Bytes out = encodeJSON(nested);
    EXPECT_EQ(std::count(out.begin(), out.end(), ' '), 0);
    EXPECT_EQ(decodeJSON(out, kControlMax), nested);
    for (const json& row :
         {json{{"n", std::nan("")}}, json{{"deep", {{"list", json::array({1, -INFINITY})}}}},
          json{{"b", json::binary({1, 2, 3})}}, json::array({1, 2}), json()})
        EXPECT_EQ(encodeJSON(row), bytesOf("{}")) << row.type_name();
    // A device name with a broken byte must not turn the whole message into "{}".
    EXPECT_EQ(decodeJSON(encodeJSON({{"t", "auth"}, {"name", S("Caf\xC3", 4)}}), kControlMax),
              (json{{"t", "auth"}, {"name", "Caf\xEF\xBF\xBD"}}));
}

// A reader's answer as text: its value, or "-" when absent.
template <typename T>
S show(const std::optional<T>& value) {
    if constexpr (std::is_same_v<T, S>) return value.value_or("-");
    return value ? ::testing::PrintToString(*value) : "-";
}

TEST(Inbound, TypedReadersTakeOnlyTheirOwnKindAndRange) {
    const auto integer = [](Json v, std::int64_t lo = 0, std::int64_t hi = 10) {
        return show(Inbound::integer(&v, lo, hi));
    };
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    const Json one = 1, yes = true, fraction = 2.5, accented = "\u00E9\u00E9\u00E9";
    test::expectRows({
        {integer(10), "10"},
        {integer(11), "-"},
        {integer(-1), "-"},
        {integer(7.0), "7"},
        {integer(7.5), "-"},
        {integer("7"), "-"},
        {integer(true), "-"},
        {integer(9e15, 0, kMax), "9000000000000000"},
        {integer(1e16, 0, kMax), "-"},  // beyond the doubles that are exact integers
        {integer(std::numeric_limits<std::uint64_t>::max(), 0, kMax), "-"},
        {integer(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::min()), "-"},
        {integer(std::numeric_limits<double>::quiet_NaN()), "-"},
        {integer(std::numeric_limits<double>::infinity()), "-"},
        {show(Inbound::integer(nullptr, 0, 10)), "-"},
        {show(Inbound::number(&fraction)), "2.5"},
        {show(Inbound::boolean(&yes)), "true"},
        {show(Inbound::boolean(&one)), "-"},
        {show(Inbound::text(&accented, 2)), "\u00E9\u00E9"},
    });
}

TEST(Inbound, MessageFieldsKeepTheirBounds) {
    const double now = 1'000'000;
    const auto rtt = [&](Json ts) { return show(Inbound::rttMs(Json{{"ts", ts}}, now)); };
    const auto offer = [](Json size, Json sha, Json name = nullptr) {
        Json m{{"tid", 5}, {"size", size}, {"sha256", sha}};
        if (!name.is_null()) m["name"] = name;
        const auto o = Inbound::fileOffer(m);
        return o ? std::to_string(o->size) + " " + o->sha256.substr(0, 2) + " " + o->name : "-";
    };
    const auto size = [](Json w, Json h) {
        const auto s = Inbound::mirrorSize(Json{{"width", w}, {"height", h}});
        return s ? std::to_string(s->width) + "x" + std::to_string(s->height) : "-";
    };
    const auto audio = [](Json rate, Json channels) {
        const auto a = Inbound::audioFormat(Json{{"audio", {{"rate", rate}, {"channels", channels}}}});
        return a ? ::testing::PrintToString(a->rate) + "/" + std::to_string(a->channels) : "-";
    };
    const S hash(64, 'a');
    test::expectRows({
        {show(Inbound::status(Json{{"battery", 101}, {"charging", true}, {"fast", 1}}).battery), "-"},
        {show(Inbound::status(Json{{"battery", 100.0}}).battery), "100"},
        {rtt(now - 59999.9), "59999"},
        {rtt(now - 60000), "-"},
        {rtt(now + 1), "-"},
        {show(Inbound::tid(Json{{"tid", 2147483647}})), "2147483647"},
        {show(Inbound::tid(Json{{"tid", 2147483648}})), "-"},
        {offer(8589934592, hash, "a.txt"), "8589934592 aa a.txt"},
        {offer(8589934593, hash), "-"},
        {offer(0, S(64, 'F'), 42), "0 ff arquivo"},
        {offer(0, hash, "../../etc/passwd"), "0 aa passwd"},
        {offer(0, S(63, 'a')), "-"},
        {offer(0, S(63, 'a') + "g"), "-"},
        {size(16, 8192), "16x8192"},
        {size(15, 100), "-"},
        {size(100, 8193), "-"},
        {audio(48000, 2), "48000/2"},
        {audio(7999, 2), "-"},
        {audio(44100, 3), "-"},
    });
    EXPECT_EQ(Inbound::fileOffer(Json{{"size", 1}, {"sha256", hash}}), std::nullopt);
}

TEST(Inbound, NetOfferKeepsAValidPortAndAtMostEightRoutableAddressesOfTheFirst5000) {
    const auto offer = [](std::vector<Json> ips, Json port = nullptr) {
        Json m{{"addrs", Json::array()}};
        for (const auto& ip : ips)
            m["addrs"].push_back(Json{{"ip", ip}});
        if (!port.is_null()) m["port"] = port;
        const auto o = Inbound::netOffer(m, 47625);
        S out = std::to_string(o.port);
        for (const auto& ip : o.ips)
            out += " " + ip;
        return out;
    };
    std::vector<Json> ten, many(5000, "bad");
    for (int i = 1; i <= 10; ++i)
        ten.push_back("10.0.0." + std::to_string(i));
    many.push_back("10.1.1.1");
    test::expectRows({
        {offer({}, 1023), "47625"},
        {offer({}, 1024), "1024"},
        {offer({}, 65535), "65535"},
        {offer({}, 65536), "47625"},
        {offer({"127.0.0.1", "169.254.1.1", "10.0.0.5", "10.0.0.5", 7}), "47625 10.0.0.5"},
        {offer(ten), "47625 10.0.0.1 10.0.0.2 10.0.0.3 10.0.0.4 10.0.0.5 10.0.0.6 10.0.0.7 10.0.0.8"},
        // An over-long address is refused, never cut to a different valid one.
        {offer({"192.168.100.200" + S(1000, ' ')}), "47625"},
        {offer(many), "47625"},
    });
    EXPECT_TRUE(Inbound::netOffer(Json{{"addrs", Json{{"ip", "10.0.0.1"}}}}, 47625).ips.empty());
}

TEST(IPv4, StrictDottedQuadsPrefixesAndRoutableAddresses) {
    EXPECT_EQ(IPv4::value("192.168.1.1"), 0xC0A80101u);
    EXPECT_EQ(IPv4::value("255.255.255.255"), 0xFFFFFFFFu);
    for (const char* bad : {"192.168.01.1", "1.2.3", "1.2.3.4.5", "1..2.3", " 1.2.3.4", "256.1.1.1",
                            "1.2.3.-4", "1.2.3.4.", "1.2.3.0004", "+1.2.3.4", "", "1.2.3.4\n"})
        EXPECT_EQ(IPv4::value(bad), std::nullopt) << bad;
    EXPECT_TRUE(IPv4::contains("0.0.0.0", 1, "127.0.0.1") && IPv4::contains("10.0.0.1", 32, "10.0.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.0", 0, "10.0.0.1") || IPv4::contains("10.0.0.0", 33, "10.0.0.1"));
    for (const char* yes : {"10.0.0.1", "8.8.8.8", "169.253.1.1", "223.255.255.255"})
        EXPECT_TRUE(Inbound::isRoutableIPv4(yes)) << yes;
    for (const char* no :
         {"0.1.2.3", "127.0.0.1", "169.254.1.1", "224.0.0.1", "10.0.0.01", "192.168.100.2000"})
        EXPECT_FALSE(Inbound::isRoutableIPv4(no)) << no;
}

using test::fromHex;
using Text = std::optional<std::string_view>;
const std::string kID = "0123456789abcdef0123456789abcdef";

TEST(Discovery, OnlyTheIdRejectsAFindingTheNameIsCleanedAndOnlyRoutableAddressesAreKept) {
    using R = Discovery::Rejection;
    const auto rejection = [](Text id) {
        return std::get<R>(Discovery::validate(id, "Phone", "10.0.0.2", "svc"));
    };
    EXPECT_EQ(rejection(std::nullopt), R::missingID);
    // An id is exactly 32 lower-case hex digits.
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF", cut = kID.substr(1);
    for (const std::string& bad : {upper, cut, kID + "0", "g" + cut, std::string(), cut + '\0', cut + " "})
        EXPECT_EQ(rejection(bad), R::badID) << bad;
    const auto entry = [](Text name, Text ip) {
        return std::get<Discovery::Entry>(Discovery::validate(kID, name, ip, "Phone|8"));
    };
    EXPECT_EQ(entry("Phone", "192.168.1.20"),
              (Discovery::Entry{kID, "Phone", "192.168.1.20", "192.168.1.20"}));
    // Without a usable address the entry is keyed by a digest of the service name.
    for (const Text ip : {Text{}, Text{"169.254.3.4"}, Text{"phone.local"}})
        EXPECT_EQ(entry("Phone", ip), (Discovery::Entry{kID, "Phone", std::nullopt, "svc-e7ceface7664"}));
    EXPECT_EQ(entry(std::nullopt, std::nullopt).name, "Phone8");
    EXPECT_EQ(entry("", std::nullopt).name, "dispositivo");
    EXPECT_EQ(entry("Ph\u202Eone\n", std::nullopt).name, "Phone");
}

TEST(CandidateKey, EveryKindReadsBackFromItsTextAndOnlyWholePrefixesCount) {
    using K = CandidateKey;
    const std::pair<K, std::string> rows[] = {
        {K::usb("R58:1"), "usb:R58:1"},  // an adb serial may hold a colon (wireless adb)
        {K::net("p1"), "net:p1"},
        {K::net("p1", "svc-a"), "net:p1:svc-a"},
        {K::netFar("p1", "10.0.0.7"), "net:p1:far:10.0.0.7"},
        {K::gateway("192.168.43.1"), "gw:192.168.43.1"},
        {K::ble("AA:01"), "ble:AA:01"},
        {K::manual("phone.lan:47625"), "manual:phone.lan:47625"},
    };
    for (const auto& [key, text] : rows) {
        EXPECT_EQ(key.text(), text);
        EXPECT_EQ(K::parse(text), key) << text;
    }
    // Not a key: a prefix without its colon ("bleach" was once Bluetooth), another case, "net:" id ":".
    for (const std::string_view text : {"bleach", "ble", "BLE:AA", "net:p1:", "", ":x"})
        EXPECT_EQ(K::parse(text), std::nullopt) << text;
}

TEST(PairingBeacon, BleServiceDataParsesByLengthAndTheTxtFlagIsOneExactDigit) {
    using Ble = PairingBeacon::Ble;
    for (const auto& [hex, expected] : std::initializer_list<std::pair<const char*, std::optional<Ble>>>{
             {"001122334455667703", Ble{"0011223344556677", true}},  // only bit 0 counts
             {"00112233", Ble{"00112233", std::nullopt}},
             {"00112233445566778899aabbccddeeff", Ble{"00112233445566778899aabbccddeeff", std::nullopt}},
             {"001122", std::nullopt},
             {"00112233445566778899aabbccddeeff00", std::nullopt}})
        EXPECT_EQ(PairingBeacon::parseBle(fromHex(hex)), expected) << hex;
    for (const bool pairing : {true, false})
        EXPECT_EQ(PairingBeacon::parseBle(PairingBeacon::bleServiceData(fromHex(kID), pairing)),
                  (Ble{kID.substr(0, 16), pairing}));
    EXPECT_THROW(PairingBeacon::bleServiceData(fromHex("00112233445566"), true), std::invalid_argument);

    EXPECT_EQ(PairingBeacon::parseTxt(PairingBeacon::txtValue(true)), true);
    EXPECT_EQ(PairingBeacon::parseTxt(PairingBeacon::txtValue(false)), false);
    for (const Text v : {Text{}, Text{"true"}, Text{" 1"}, Text{"01"}, Text{std::string_view("1\0", 2)}})
        EXPECT_EQ(PairingBeacon::parseTxt(v), std::nullopt);
}

}  // namespace
}  // namespace velmora
