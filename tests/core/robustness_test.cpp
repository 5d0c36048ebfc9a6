// Random and mutated hostile input for the text cleaners and the field readers: nothing may crash, throw,
// hang or break its bounds (in the sanitizer build any overread or UB fails too). The seed is fixed so that
// a failure can be replayed.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/l10n/safe_format.h"
#include "core/net/ipv4.h"
#include "core/protocol/inbound.h"
#include "core/text/safe_text.h"
#include "core/text/utf8.h"

namespace velmora {
namespace {

using Json = nlohmann::json;

class Hostile {
  public:
    explicit Hostile(std::uint32_t seed) : rng_(seed) {}
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // Troublesome scalars and raw bytes around a mutated sample.
    std::string text() {
        static const char32_t scalars[] = {U'/',   U'\\',  U'|',   U'.',   U' ',    U'\r',
                                           U'\n',  U'\0',  0x7F,   0x85,   0xAD,    0x200B,
                                           0x202E, 0x2028, 0xFEFF, 0x0301, 0x1F600, 0x10FFFF};
        static const char* samples[] = {"../../x/notes.txt",
                                        "Phone|8",
                                        "192.168.100.2000",
                                        "10.0.0.1",
                                        "name. . ",
                                        "%1$@ %2$ld %% %@ %d",
                                        "\xF0\x9F\x98\x80.tar.gz"};
        std::string s = samples[below(std::size(samples))];
        for (int n = below(40); n > 0; --n) {
            const std::size_t at =
                s.empty() ? 0 : static_cast<std::size_t>(below(static_cast<int>(s.size())));
            if (below(2)) {
                s.insert(at, 1, static_cast<char>(below(256)));
            } else {
                std::string scalar;
                Utf8::append(scalar, scalars[below(std::size(scalars))]);
                s.insert(at, scalar);
            }
        }
        return s;
    }
    std::int64_t count() {
        static const std::int64_t edges[] = {-1, 0, 1, 2, 3, 16, 64, 200, INT64_MAX, INT64_MIN};
        return below(2) ? edges[below(std::size(edges))] : below(300);
    }
    // Any JSON value, with the edges of the number readers.
    Json value(int depth = 2) {
        static const double edges[] = {0.5, -0.0, 1e16, 9e15, 8589934592.0, 2147483648.0, 48000.0, 1e308};
        switch (below(depth > 0 ? 8 : 6)) {
            case 0:
                return nullptr;
            case 1:
                return below(2) == 1;
            case 2:
                return static_cast<std::uint64_t>(rng_()) << 32 | rng_();
            case 3:
                return below(2) ? edges[below(std::size(edges))] : below(200) - 100;
            case 4:
            case 5:
                return text();
            case 6:
                return Json::array({value(depth - 1), value(depth - 1), Json{{"ip", text()}}});
            default:
                return Json{{key(), value(depth - 1)}, {key(), value(depth - 1)}};
        }
    }
    std::string key() {
        static const char* keys[] = {"battery", "charging", "ts",    "port",   "addrs",
                                     "ip",      "tid",      "size",  "sha256", "name",
                                     "width",   "height",   "audio", "rate",   "channels"};
        return keys[below(std::size(keys))];
    }

  private:
    std::mt19937 rng_;
};

bool validUtf8(const std::string& s) {
    return Utf8::encode(Utf8::decode(s)) == s;
}

std::int64_t scalars(const std::string& s) {
    return static_cast<std::int64_t>(Utf8::decode(s).size());
}

bool clean(const std::string& s) {
    for (char32_t c : Utf8::decode(s)) {
        if (SafeText::isUnsafe(c)) return false;
    }
    return validUtf8(s);
}

TEST(Robustness, TextCleanersKeepTheirBoundsOnHostileText) {
    Hostile in(20260314);
    for (int round = 0; round < 500; ++round) {
        const std::string t = in.text();
        SCOPED_TRACE(::testing::PrintToString(t));
        const std::string name = SafeText::deviceName(t);
        EXPECT_TRUE(clean(name) && scalars(name) <= 64 && name.find('|') == std::string::npos);
        const std::string file = SafeText::fileName(t);
        EXPECT_TRUE(clean(file) && !file.empty() && file.size() <= 200 && file.front() != '.');
        EXPECT_EQ(file.find_first_of("/\\:*?\"<>|"), std::string::npos);
        EXPECT_LE(SafeText::platform(t).size(), 16u);
        const std::string token = SafeText::logToken(t);
        EXPECT_TRUE(token == "?" || token == t);

        const std::int64_t max = in.count(), maxLines = in.count() % 50, n = in.count();
        const std::string line = SafeText::logLine(t, max);
        EXPECT_TRUE(clean(line) && scalars(line) <= std::max<std::int64_t>(max, 0));
        const std::string block = SafeText::quotedBlock(t, maxLines, in.count(), "> ");
        EXPECT_TRUE(validUtf8(block));
        EXPECT_LE(std::count(block.begin(), block.end(), '\n'), std::max<std::int64_t>(maxLines - 1, 0));
        const std::optional<std::int64_t> bytes = in.below(2) ? std::optional(in.count()) : std::nullopt;
        const std::string cut = SafeText::limit(t, n, bytes);
        EXPECT_TRUE(validUtf8(cut) && scalars(cut) <= std::max<std::int64_t>(n, 0));
        EXPECT_LE(static_cast<std::int64_t>(cut.size()),
                  std::max<std::int64_t>(bytes.value_or(INT64_MAX), 0));
        EXPECT_TRUE(validUtf8(SafeText::clamp(t, n)));
        const std::string truncated = SafeText::truncateUtf8(t, max);
        EXPECT_TRUE(validUtf8(truncated));
        EXPECT_TRUE(truncated == "arquivo" || static_cast<std::int64_t>(truncated.size()) <= max);

        EXPECT_TRUE(IPv4::value(t) || !Inbound::isRoutableIPv4(t));
        EXPECT_FALSE(IPv4::contains(t, in.count(), t) && !IPv4::value(t));
        safeFormat(t, {t, in.count()});
    }
}

TEST(Robustness, FieldReadersKeepTheirBoundsOnHostileMessages) {
    // A message every reader accepts, to which the rounds do their damage.
    const Json valid = {{"battery", 50},
                        {"ts", 999000},
                        {"port", 47625},
                        {"addrs", {{{"ip", "10.0.0.2"}}}},
                        {"tid", 7},
                        {"size", 1024},
                        {"sha256", std::string(64, 'a')},
                        {"name", "a.txt"},
                        {"width", 1080},
                        {"height", 2400},
                        {"audio", {{"rate", 48000}, {"channels", 2}}}};
    Hostile in(1110);
    for (int round = 0; round < 500; ++round) {
        Json m = in.below(2) ? valid : Json::object();
        for (int n = in.below(6); n > 0; --n)
            m[in.key()] = in.value();
        SCOPED_TRACE(m.dump(-1, ' ', false, Json::error_handler_t::replace));

        const auto battery = Inbound::status(m).battery;
        EXPECT_TRUE(!battery || (*battery >= 0 && *battery <= 100));
        const auto rtt = Inbound::rttMs(m, 1e6);
        EXPECT_TRUE(!rtt || (*rtt >= 0 && *rtt < 60000));
        const auto offer = Inbound::netOffer(m, 47625);
        EXPECT_TRUE(offer.port == 47625 || (offer.port >= 1024 && offer.port <= 65535));
        EXPECT_LE(offer.ips.size(), 8u);
        for (const auto& ip : offer.ips)
            EXPECT_TRUE(Inbound::isRoutableIPv4(ip)) << ip;
        const auto id = Inbound::tid(m);
        EXPECT_TRUE(!id || (*id >= 1 && *id <= 2147483647u));
        if (const auto file = Inbound::fileOffer(m)) {
            EXPECT_TRUE(file->size >= 0 && file->size <= 8589934592 && file->name.size() <= 200);
            EXPECT_EQ(file->sha256.size(), 64u);
            EXPECT_EQ(file->sha256.find_first_not_of("0123456789abcdef"), std::string::npos);
        }
        const auto size = Inbound::mirrorSize(m);
        EXPECT_TRUE(!size ||
                    (size->width >= 16 && size->width <= 8192 && size->height >= 16 && size->height <= 8192));
        const auto audio = Inbound::audioFormat(m);
        EXPECT_TRUE(!audio || (audio->rate >= 8000 && audio->rate <= 192000 && audio->channels >= 1 &&
                               audio->channels <= 2));
        for (const auto& [key, value] : m.items()) {
            const auto number = Inbound::integer(&value, -5, 5);
            EXPECT_TRUE(!number || (*number >= -5 && *number <= 5));
            const auto text = Inbound::text(&value, 3);
            EXPECT_TRUE(!text || scalars(*text) <= 3);
            Inbound::number(&value);
            Inbound::boolean(&value);
        }
    }
}

}  // namespace
}  // namespace velmora
