#include "core/protocol/inbound.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/net/ipv4.h"

namespace velmora {
namespace {

using Json = nlohmann::json;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(Inbound, IntegerIsAWholeNumberInRangeAndNothingElse) {
    const struct {
        Json value;
        std::int64_t lo, hi;
        std::optional<std::int64_t> out;
    } cases[] = {
        {7, 0, 10, 7},
        {"7", 0, 10, std::nullopt},
        {true, 0, 10, std::nullopt},
        {7.0, 0, 10, 7},
        {7.5, 0, 10, std::nullopt},
        {1e16, 0, kMax, std::nullopt},  // beyond exact doubles
        {9e15, 0, kMax, 9000000000000000},
        {std::numeric_limits<std::uint64_t>::max(), 0, kMax, std::nullopt},
        {kMin, kMin, 0, std::nullopt},
        {-1, 0, 10, std::nullopt},
        {11, 0, 10, std::nullopt},
        {10, 0, 10, 10},
        {-0.0, 0, 10, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0, 10, std::nullopt},
        {std::numeric_limits<double>::infinity(), 0, 10, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Inbound::integer(&c.value, c.lo, c.hi), c.out) << c.value;
    EXPECT_EQ(Inbound::integer(nullptr, 0, 10), std::nullopt);

    const Json one = 1, yes = true, word = "true", fraction = 2.5, accented = "\u00E9\u00E9\u00E9";
    EXPECT_EQ(Inbound::number(&fraction), 2.5);
    EXPECT_EQ(Inbound::number(&yes), std::nullopt);
    EXPECT_EQ(Inbound::boolean(&yes), true);
    EXPECT_EQ(Inbound::boolean(&one), std::nullopt);
    EXPECT_EQ(Inbound::boolean(&word), std::nullopt);
    EXPECT_EQ(Inbound::text(&accented, 2), "\u00E9\u00E9");
    EXPECT_EQ(Inbound::text(&one, 3), std::nullopt);
    EXPECT_EQ(Inbound::field(Json::array({1}), "x"), nullptr);
}

TEST(Inbound, StatusAndRoundTrip) {
    EXPECT_EQ(Inbound::status(Json("not an object")), Inbound::Status{});
    const auto s = Inbound::status(
        Json{{"battery", 101}, {"charging", true}, {"screen", false}, {"fast", 1}, {"locks", true}});
    EXPECT_EQ(s, (Inbound::Status{std::nullopt, true, false, false, true}));
    EXPECT_EQ(Inbound::status(Json{{"battery", 100.0}}).battery, 100);

    const double now = 1'000'000;
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now - 59999.9}}, now), 59999);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now - 60000}}, now), std::nullopt);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now + 1}}, now), std::nullopt);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", now}}, now), 0);
    EXPECT_EQ(Inbound::rttMs(Json{{"ts", "1"}}, now), std::nullopt);
}

Json offerOf(const std::vector<Json>& ips, Json port = nullptr) {
    Json m{{"t", "net.offer"}, {"addrs", Json::array()}};
    for (const auto& ip : ips)
        m["addrs"].push_back(Json{{"ip", ip}});
    if (!port.is_null()) m["port"] = port;
    return m;
}

TEST(Inbound, NetOfferKeepsAValidPortAndAtMostEightRoutableAddresses) {
    for (const auto& [port, expected] : {std::pair<Json, std::int64_t>{1023, 47625},
                                         {65536, 47625},
                                         {"5000", 47625},
                                         {1024, 1024},
                                         {65535, 65535},
                                         {nullptr, 47625}})
        EXPECT_EQ(Inbound::netOffer(offerOf({}, port), 47625).port, expected) << port;

    EXPECT_EQ(Inbound::netOffer(offerOf({"127.0.0.1", "169.254.1.1", "10.0.0.5", "10.0.0.5", 7}), 47625).ips,
              std::vector<std::string>{"10.0.0.5"});
    std::vector<Json> ten;
    for (int i = 1; i <= 10; ++i)
        ten.push_back("10.0.0." + std::to_string(i));
    const auto taken = Inbound::netOffer(offerOf(ten), 47625).ips;
    ASSERT_EQ(taken.size(), 8u);
    EXPECT_EQ(taken.back(), "10.0.0.8");
    // An over-long address is refused, never cut to a different valid one.
    EXPECT_TRUE(Inbound::netOffer(offerOf({"192.168.100.200" + std::string(1000, ' ')}), 47625).ips.empty());
    // Only the first 5000 entries are looked at.
    std::vector<Json> many(5000, "bad");
    many.push_back("10.1.1.1");
    EXPECT_TRUE(Inbound::netOffer(offerOf(many), 47625).ips.empty());
    EXPECT_TRUE(Inbound::netOffer(Json{{"addrs", Json{{"ip", "10.0.0.1"}}}}, 47625).ips.empty());
}

TEST(Inbound, FileOfferAndTransferId) {
    EXPECT_EQ(Inbound::tid(Json{{"tid", 0}}), std::nullopt);
    EXPECT_EQ(Inbound::tid(Json{{"tid", 2147483648}}), std::nullopt);
    EXPECT_EQ(Inbound::tid(Json{{"tid", 2147483647}}), 2147483647u);
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
    for (const Json& bad : {Json(std::string(63, 'a')), Json(std::string(65, 'a')),
                            Json(std::string(63, 'a') + "g"), Json(12345)})
        EXPECT_EQ(offer(10, bad), std::nullopt) << bad;
    EXPECT_EQ(offer(10, hash, 42)->name, "arquivo");
    EXPECT_EQ(offer(10, hash, "../../etc/passwd")->name, "passwd");
    EXPECT_EQ(Inbound::fileOffer(Json{{"size", 1}, {"sha256", hash}}), std::nullopt);
}

TEST(Inbound, MirrorSizeAndAudioFormat) {
    const auto size = [](Json w, Json h) { return Inbound::mirrorSize(Json{{"width", w}, {"height", h}}); };
    EXPECT_EQ(size(15, 100), std::nullopt);
    EXPECT_EQ(size(100, 8193), std::nullopt);
    EXPECT_EQ(size(16, 8192), (Inbound::MirrorSize{16, 8192}));
    EXPECT_EQ(Inbound::mirrorSize(Json{{"width", 100}}), std::nullopt);

    const auto audio = [](Json rate, Json channels) {
        return Inbound::audioFormat(Json{{"audio", {{"rate", rate}, {"channels", channels}}}});
    };
    EXPECT_EQ(audio(48000, 2), (Inbound::AudioFormat{48000, 2}));
    EXPECT_EQ(audio(7999, 2), std::nullopt);
    EXPECT_EQ(audio(192000.5, 1), std::nullopt);
    EXPECT_EQ(audio(44100, 3), std::nullopt);
    EXPECT_EQ(Inbound::audioFormat(Json{{"audio", Json::array({48000, 2})}}), std::nullopt);
}

TEST(IPv4, StrictDottedQuadsPrefixesAndRoutableAddresses) {
    EXPECT_EQ(IPv4::value("192.168.1.1"), 0xC0A80101u);
    EXPECT_EQ(IPv4::value("255.255.255.255"), 0xFFFFFFFFu);
    for (const char* bad : {"192.168.01.1", "1.2.3", "1.2.3.4.5", "1..2.3", " 1.2.3.4", "256.1.1.1",
                            "1.2.3.-4", "1.2.3.4.", "1.2.3.0004", "+1.2.3.4", "", "1.2.3.4\n"})
        EXPECT_EQ(IPv4::value(bad), std::nullopt) << bad;

    EXPECT_TRUE(IPv4::contains("10.0.0.0", 8, "10.255.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.0", 8, "11.0.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.0", 0, "10.0.0.1"));
    EXPECT_FALSE(IPv4::contains("10.0.0.0", 33, "10.0.0.1"));
    EXPECT_TRUE(IPv4::contains("10.0.0.1", 32, "10.0.0.1"));
    EXPECT_TRUE(IPv4::contains("0.0.0.0", 1, "127.0.0.1"));

    for (const char* yes : {"10.0.0.1", "8.8.8.8", "169.253.1.1", "223.255.255.255"})
        EXPECT_TRUE(Inbound::isRoutableIPv4(yes)) << yes;
    for (const char* no :
         {"0.1.2.3", "127.0.0.1", "169.254.1.1", "224.0.0.1", "10.0.0.01", "192.168.100.2000"})
        EXPECT_FALSE(Inbound::isRoutableIPv4(no)) << no;
}

}  // namespace
}  // namespace velmora
