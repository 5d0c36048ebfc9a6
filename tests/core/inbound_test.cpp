#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "core/net/ipv4.h"
#include "core/protocol/inbound.h"

namespace velmora {
namespace {

using Json = nlohmann::json;

std::optional<std::int64_t> readInt(const Json& v, std::int64_t lo, std::int64_t hi) {
    return Inbound::integer(&v, lo, hi);
}

TEST(Inbound, IntegerIsAWholeNumberInRangeAndNothingElse) {
    struct Case {
        const char* name;
        Json value;
        std::int64_t lo, hi;
        std::optional<std::int64_t> out;
    };
    const Case cases[] = {
        {"plain", 7, 0, 10, 7},
        {"text of a number", "7", 0, 10, std::nullopt},
        {"boolean", true, 0, 10, std::nullopt},
        {"whole float", 7.0, 0, 10, 7},
        {"fraction", 7.5, 0, 10, std::nullopt},
        {"1e16 beyond exact doubles", 1e16, 0, std::numeric_limits<std::int64_t>::max(), std::nullopt},
        {"9e15 still whole", 9e15, 0, std::numeric_limits<std::int64_t>::max(), 9000000000000000},
        {"huge unsigned", std::numeric_limits<std::uint64_t>::max(), 0,
         std::numeric_limits<std::int64_t>::max(), std::nullopt},
        {"huge negative", std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::min(),
         0, std::nullopt},
        {"below range", -1, 0, 10, std::nullopt},
        {"above range", 11, 0, 10, std::nullopt},
        {"range ends included", 10, 0, 10, 10},
        {"negative zero", -0.0, 0, 10, 0},
        {"null", nullptr, 0, 10, std::nullopt},
        {"array", Json::array({1}), 0, 10, std::nullopt},
        {"nan", std::numeric_limits<double>::quiet_NaN(), 0, 10, std::nullopt},
        {"infinity", std::numeric_limits<double>::infinity(), 0, 10, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readInt(c.value, c.lo, c.hi), c.out) << c.name;
    EXPECT_EQ(Inbound::integer(nullptr, 0, 10), std::nullopt);
}

TEST(Inbound, NumberBooleanAndTextKeepTheirKinds) {
    const Json one = 1, yes = true, word = "true", fraction = 2.5;
    EXPECT_EQ(Inbound::number(&fraction), 2.5);
    EXPECT_EQ(Inbound::number(&yes), std::nullopt);
    EXPECT_EQ(Inbound::number(&word), std::nullopt);
    EXPECT_EQ(Inbound::boolean(&yes), true);
    EXPECT_EQ(Inbound::boolean(&one), std::nullopt);
    EXPECT_EQ(Inbound::boolean(&word), std::nullopt);
    const Json long_text = "abcdef", accented = "\u00E9\u00E9\u00E9";
    EXPECT_EQ(Inbound::text(&long_text, 3), "abc");
    EXPECT_EQ(Inbound::text(&accented, 2), "\u00E9\u00E9");
    EXPECT_EQ(Inbound::text(&one, 3), std::nullopt);
    EXPECT_EQ(Inbound::field(Json::array({1}), "x"), nullptr);
}

TEST(Inbound, Status) {
    EXPECT_EQ(Inbound::status(Json::object()), Inbound::Status{});
    const auto s = Inbound::status(
        Json{{"battery", 101}, {"charging", true}, {"screen", false}, {"fast", 1}, {"locks", true}});
    EXPECT_EQ(s, (Inbound::Status{std::nullopt, true, false, false, true}));
    EXPECT_EQ(Inbound::status(Json{{"battery", 55.0}}).battery, 55);
    EXPECT_EQ(Inbound::status(Json("not an object")), Inbound::Status{});
}

TEST(Inbound, RoundTrip) {
    const double now = 1'000'000;
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now - 59999.9}}, now), 59999);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now - 60000}}, now), std::nullopt);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now + 1}}, now), std::nullopt);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now}}, now), 0);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", "1"}}, now), std::nullopt);
    EXPECT_EQ(Inbound::rttMs(Json::object(), now), std::nullopt);
}

Json offerOf(std::initializer_list<Json> ips, Json port = nullptr) {
    Json addrs = Json::array();
    for (const auto& ip : ips)
        addrs.push_back(Json{{"ip", ip}});
    Json m{{"t", "net.offer"}, {"addrs", addrs}};
    if (!port.is_null()) m["port"] = port;
    return m;
}

TEST(Inbound, NetOfferPort) {
    const std::pair<Json, std::int64_t> ports[] = {
        {1023, 47625}, {65536, 47625}, {"5000", 47625}, {1024, 1024}, {65535, 65535}, {nullptr, 47625},
    };
    for (const auto& [port, expected] : ports) {
        EXPECT_EQ(Inbound::netOffer(offerOf({}, port), 47625).port, expected) << port;
    }
}

TEST(Inbound, NetOfferAddresses) {
    EXPECT_EQ(Inbound::netOffer(offerOf({"127.0.0.1", "169.254.1.1", "0.1.2.3", "224.0.0.1", "10.0.0.5",
                                         "10.0.0.5", 7, "192.168.1.01"}),
                                47625)
                  .ips,
              std::vector<std::string>{"10.0.0.5"});
    Json ten = offerOf({});
    for (int i = 1; i <= 10; ++i)
        ten["addrs"].push_back(Json{{"ip", "10.0.0." + std::to_string(i)}});
    const auto taken = Inbound::netOffer(ten, 47625).ips;
    ASSERT_EQ(taken.size(), 8u);
    EXPECT_EQ(taken.front(), "10.0.0.1");
    EXPECT_EQ(taken.back(), "10.0.0.8");
    // An over-long address is refused, never cut to a different valid one.
    EXPECT_TRUE(Inbound::netOffer(offerOf({"192.168.100.2000"}), 47625).ips.empty());
    EXPECT_TRUE(Inbound::netOffer(offerOf({"192.168.100.200" + std::string(1000, ' ')}), 47625).ips.empty());
    // Only the first 5000 entries are looked at.
    Json many = offerOf({});
    for (int i = 0; i < 5000; ++i)
        many["addrs"].push_back(Json{{"ip", "bad"}});
    many["addrs"].push_back(Json{{"ip", "10.1.1.1"}});
    EXPECT_TRUE(Inbound::netOffer(many, 47625).ips.empty());
    EXPECT_TRUE(Inbound::netOffer(Json{{"addrs", Json{{"ip", "10.0.0.1"}}}}, 47625).ips.empty());
}

TEST(Inbound, TransferId) {
    EXPECT_EQ(Inbound::tid(Json{{"tid", 0}}), std::nullopt);
    EXPECT_EQ(Inbound::tid(Json{{"tid", 2147483648}}), std::nullopt);
    EXPECT_EQ(Inbound::tid(Json{{"tid", -1}}), std::nullopt);
    EXPECT_EQ(Inbound::tid(Json{{"tid", 2147483647}}), 2147483647u);
}

TEST(Inbound, FileOffer) {
    const std::string hash(64, 'a');
    const auto offer = [&](Json size, Json sha, Json name = nullptr) {
        Json m{{"tid", 5}, {"size", size}, {"sha256", sha}};
        if (!name.is_null()) m["name"] = name;
        return Inbound::fileOffer(m);
    };
    EXPECT_EQ(offer(0, hash, "a.txt"), (Inbound::FileOffer{5, "a.txt", 0, hash}));
    EXPECT_EQ(offer(8589934592, hash, "a.txt")->size, 8589934592);
    EXPECT_EQ(offer(8589934593, hash), std::nullopt);
    EXPECT_EQ(offer(-1, hash), std::nullopt);
    EXPECT_EQ(offer(10, std::string(64, 'F'))->sha256, std::string(64, 'f'));
    EXPECT_EQ(offer(10, std::string(63, 'a')), std::nullopt);
    EXPECT_EQ(offer(10, std::string(65, 'a')), std::nullopt);
    EXPECT_EQ(offer(10, std::string(63, 'a') + "g"), std::nullopt);
    EXPECT_EQ(offer(10, 12345), std::nullopt);
    EXPECT_EQ(offer(10, hash)->name, "arquivo");
    EXPECT_EQ(offer(10, hash, 42)->name, "arquivo");
    EXPECT_EQ(offer(10, hash, "../../etc/passwd")->name, "passwd");
    EXPECT_EQ(Inbound::fileOffer(Json{{"size", 1}, {"sha256", hash}}), std::nullopt);
}

TEST(Inbound, MirrorSizeAndAudioFormat) {
    const auto size = [](Json w, Json h) { return Inbound::mirrorSize(Json{{"width", w}, {"height", h}}); };
    EXPECT_EQ(size(15, 100), std::nullopt);
    EXPECT_EQ(size(100, 8193), std::nullopt);
    EXPECT_EQ(size(16, 16), (Inbound::MirrorSize{16, 16}));
    EXPECT_EQ(size(8192, 8192), (Inbound::MirrorSize{8192, 8192}));
    EXPECT_EQ(Inbound::mirrorSize(Json{{"width", 100}}), std::nullopt);

    const auto audio = [](Json a) { return Inbound::audioFormat(Json{{"audio", a}}); };
    EXPECT_EQ(audio(Json{{"rate", 48000}, {"channels", 2}}), (Inbound::AudioFormat{48000, 2}));
    EXPECT_EQ(audio(Json{{"rate", 7999}, {"channels", 2}}), std::nullopt);
    EXPECT_EQ(audio(Json{{"rate", 192000.5}, {"channels", 1}}), std::nullopt);
    EXPECT_EQ(audio(Json{{"rate", 44100}, {"channels", 3}}), std::nullopt);
    EXPECT_EQ(audio(Json::array({48000, 2})), std::nullopt);
}

TEST(IPv4, StrictDottedQuad) {
    EXPECT_EQ(IPv4::value("192.168.1.1"), 0xC0A80101u);
    EXPECT_EQ(IPv4::value("0.0.0.0"), 0u);
    EXPECT_EQ(IPv4::value("255.255.255.255"), 0xFFFFFFFFu);
    for (const char* bad :
         {"192.168.01.1", "1.2.3", "1.2.3.4.5", "1..2.3", " 1.2.3.4", "256.1.1.1", "1.2.3.-4", "1.2.3.4 ",
          "1.2.3.4.", ".1.2.3", "1.2.3.0004", "+1.2.3.4", "", "a.b.c.d", "1.2.3.4\n"}) {
        EXPECT_EQ(IPv4::value(bad), std::nullopt) << bad;
    }
}

TEST(IPv4, Contains) {
    EXPECT_TRUE(IPv4::contains("10.0.0.0", 8, "10.255.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.0", 8, "11.0.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.0", 0, "10.0.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.0", 33, "10.0.0.1"));
    EXPECT_TRUE(IPv4::contains("10.0.0.1", 32, "10.0.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.1", 32, "10.0.0.2"));
    EXPECT_TRUE(IPv4::contains("0.0.0.0", 1, "127.0.0.1"));
    EXPECT_FALSE(IPv4::contains("bad", 8, "10.0.0.1"));
}

TEST(Inbound, RoutableAddresses) {
    for (const char* yes :
         {"10.0.0.1", "172.16.0.1", "192.168.0.1", "8.8.8.8", "169.253.1.1", "223.255.255.255"}) {
        EXPECT_TRUE(Inbound::isRoutableIPv4(yes)) << yes;
    }
    for (const char* no : {"0.1.2.3", "127.0.0.1", "169.254.1.1", "224.0.0.1", "255.255.255.255", "10.0.0.01",
                           "192.168.100.2000"}) {
        EXPECT_FALSE(Inbound::isRoutableIPv4(no)) << no;
    }
}

}  // namespace
}  // namespace velmora
