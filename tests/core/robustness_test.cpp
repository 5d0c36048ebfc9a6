// Random and mutated hostile input for every text cleaner and every field reader: nothing may crash, throw,
// hang or break its bounds. Runs in the sanitizer build too, where any overread or UB fails the test. The
// seed is fixed so that a failure can be replayed.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/l10n/safe_format.h"
#include "core/net/ipv4.h"
#include "core/protocol/inbound.h"
#include "core/text/safe_text.h"
#include "core/text/utf8.h"

namespace velmora {
namespace {

using Json = nlohmann::json;

constexpr int kRounds = 3000;

class Hostile {
  public:
    explicit Hostile(std::uint32_t seed) : rng_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // Raw bytes, text built from troublesome scalars, or a mutated sample.
    std::string text() {
        switch (below(3)) {
            case 0: {
                std::string s(below(80), '\0');
                for (auto& c : s)
                    c = static_cast<char>(below(256));
                return s;
            }
            case 1: {
                static const char32_t pool[] = {U'a',   U'Z',   U'0',   U'.',   U'/',    U'\\',   U'|',
                                                U':',   U' ',   U'\r',  U'\n',  U'\t',   U'\0',   0x7F,
                                                0x85,   0xA0,   0xAD,   0x200B, 0x202E,  0x2028,  0x2066,
                                                0xFEFF, 0x0301, 0xFFFD, 0x20AC, 0x1F600, 0x10FFFF};
                std::string s;
                for (int n = below(80); n > 0; --n)
                    Utf8::append(s, pool[below(std::size(pool))]);
                return s;
            }
            default:
                return mutate(sample());
        }
    }

    std::string sample() {
        static const char* samples[] = {
            "../../x/notes.txt",   "Pixel|8",  "192.168.100.2000",       "10.0.0.1", "a\r\nb\nc", ".bashrc",
            "%1$@ %2$ld %% %@ %d", "name. . ", "\xF0\x9F\x98\x80.tar.gz"};
        return samples[below(std::size(samples))];
    }

    std::string mutate(std::string s) {
        for (int n = below(6); n > 0; --n) {
            const std::size_t at =
                s.empty() ? 0 : static_cast<std::size_t>(below(static_cast<int>(s.size())));
            switch (below(3)) {
                case 0:
                    s.insert(s.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>(below(256)));
                    break;
                case 1:
                    if (!s.empty()) s.erase(at, 1);
                    break;
                default:
                    if (!s.empty()) s[at] = static_cast<char>(s[at] ^ (1 << below(8)));
            }
        }
        return s;
    }

    std::int64_t count() {
        static const std::int64_t edges[] = {-1, 0, 1, 2, 3, 15, 16, 64, 200, INT64_MAX, INT64_MIN};
        return below(2) ? edges[below(std::size(edges))] : below(300);
    }

    // Any JSON value, with the edges of the number readers; nested at most `depth` levels.
    Json value(int depth = 2) {
        switch (below(depth > 0 ? 10 : 8)) {
            case 0:
                return nullptr;
            case 1:
                return below(2) == 1;
            case 2:
                return static_cast<std::int64_t>(rng_());
            case 3: {
                static const double edges[] = {0.5,          -0.0,         7.0,     1e16,  9e15,   -9e15,
                                               8589934592.0, 2147483648.0, 48000.0, 1e308, -1e308, 60000.0};
                return edges[below(std::size(edges))];
            }
            case 4:
                return static_cast<std::uint64_t>(rng_()) << 32 | rng_();
            case 5:
                return below(200) - 100;
            case 6:
            case 7:
                return text();
            case 8: {
                Json a = Json::array();
                for (int n = below(5); n > 0; --n)
                    a.push_back(value(depth - 1));
                return a;
            }
            default: {
                Json o = Json::object();
                for (int n = below(5); n > 0; --n)
                    o[key()] = value(depth - 1);
                return o;
            }
        }
    }

    std::string key() {
        static const char* keys[] = {"battery", "charging", "screen", "fast",     "locks",  "ts",   "port",
                                     "addrs",   "ip",       "tid",    "size",     "sha256", "name", "width",
                                     "height",  "audio",    "rate",   "channels", "t"};
        return keys[below(std::size(keys))];
    }

    // A valid message of one kind with some fields replaced, or random fields.
    Json message() {
        static const Json valid[] = {
            {{"tid", 7}, {"size", 1024}, {"sha256", std::string(64, 'a')}, {"name", "a.txt"}},
            {{"width", 1080}, {"height", 2400}, {"audio", {{"rate", 48000}, {"channels", 2}}}},
            {{"battery", 50}, {"charging", true}, {"screen", false}, {"fast", true}, {"locks", false}},
            {{"port", 47625}, {"addrs", Json::array({{{"ip", "10.0.0.2"}}, {{"ip", "192.168.1.9"}}})}},
        };
        if (below(2)) {
            Json m = valid[below(std::size(valid))];
            for (int n = below(3); n > 0; --n)
                m[key()] = value();
            return m;
        }
        Json m = Json::object();
        for (int n = below(10); n > 0; --n)
            m[key()] = value();
        if (below(4) == 0) {
            Json addrs = Json::array();
            for (int n = below(12); n > 0; --n)
                addrs.push_back(Json{{"ip", below(2) ? text() : sample()}});
            m["addrs"] = addrs;
        }
        return m;
    }

  private:
    std::mt19937 rng_;
};

bool validUtf8(const std::string& s) {
    return Utf8::encode(Utf8::decode(s)) == s;
}

std::size_t scalars(const std::string& s) {
    return Utf8::decode(s).size();
}

bool hasUnsafe(const std::string& s) {
    for (char32_t c : Utf8::decode(s)) {
        if (SafeText::isUnsafe(c)) return true;
    }
    return false;
}

TEST(Robustness, TextCleanersKeepTheirBoundsOnHostileText) {
    Hostile in(20260314);
    for (int round = 0; round < kRounds; ++round) {
        const std::string t = in.text();
        SCOPED_TRACE(::testing::PrintToString(t));

        const std::string name = SafeText::deviceName(t);
        EXPECT_TRUE(validUtf8(name));
        EXPECT_LE(scalars(name), 64u);
        EXPECT_LE(name.size(), 256u);
        EXPECT_FALSE(hasUnsafe(name) || name.find('|') != std::string::npos);

        const std::string file = SafeText::fileName(t);
        EXPECT_TRUE(validUtf8(file));
        EXPECT_FALSE(file.empty());
        EXPECT_LE(file.size(), 200u);
        EXPECT_EQ(file.find_first_of("/\\:*?\"<>|"), std::string::npos);
        EXPECT_NE(file.front(), '.');
        EXPECT_FALSE(hasUnsafe(file));

        const std::string word = SafeText::platform(t);
        EXPECT_LE(word.size(), 16u);

        const std::string token = SafeText::logToken(t);
        EXPECT_TRUE(token == "?" || token == t);

        const std::int64_t max = in.count();
        const std::string line = SafeText::logLine(t, max);
        EXPECT_TRUE(validUtf8(line));
        EXPECT_FALSE(hasUnsafe(line));
        EXPECT_LE(static_cast<std::int64_t>(scalars(line)), std::max<std::int64_t>(max, 0));

        const std::int64_t maxLines = in.count() % 50;
        const std::string block = SafeText::quotedBlock(t, maxLines, in.count(), "> ");
        EXPECT_TRUE(validUtf8(block));
        EXPECT_LE(static_cast<std::int64_t>(std::count(block.begin(), block.end(), '\n')),
                  std::max<std::int64_t>(maxLines - 1, 0));

        const std::int64_t n = in.count();
        const std::optional<std::int64_t> bytes = in.below(2) ? std::optional(in.count()) : std::nullopt;
        const std::string cut = SafeText::limit(t, n, bytes);
        EXPECT_TRUE(validUtf8(cut));
        EXPECT_LE(static_cast<std::int64_t>(scalars(cut)), std::max<std::int64_t>(n, 0));
        if (bytes) {
            EXPECT_LE(static_cast<std::int64_t>(cut.size()), std::max<std::int64_t>(*bytes, 0));
        }
        EXPECT_TRUE(validUtf8(SafeText::clamp(t, n)));

        const std::string truncated = SafeText::truncateUtf8(t, max);
        EXPECT_TRUE(validUtf8(truncated));
        EXPECT_TRUE(truncated == "arquivo" || static_cast<std::int64_t>(truncated.size()) <= max);

        EXPECT_TRUE(IPv4::value(t) || !Inbound::isRoutableIPv4(t));
        EXPECT_FALSE(IPv4::contains(t, in.count(), t) && !IPv4::value(t));
        safeFormat(t, {t, in.count()});
    }
}

TEST(Robustness, FormatterNeverReadsPastItsArguments) {
    Hostile in(7);
    for (int round = 0; round < kRounds; ++round) {
        std::string pattern = in.mutate("%@ %1$@ %2$ld %3$d %lld %% %9$@ %s %");
        pattern += in.text();
        std::vector<FormatArg> args;
        for (int n = in.below(3); n > 0; --n) {
            if (in.below(2)) {
                args.emplace_back(in.text());
            } else {
                args.emplace_back(in.count());
            }
        }
        // With no arguments nothing can be filled in: only "%%" changes the text.
        const std::string bare = safeFormat(pattern, {});
        EXPECT_LE(bare.size(), pattern.size());
        safeFormat(pattern, args);
    }
}

TEST(Robustness, FieldReadersOnHostileMessages) {
    Hostile in(1110);
    for (int round = 0; round < kRounds; ++round) {
        Json m = in.message();
        if (in.below(4) == 0) {
            // Mutated JSON text, as a decoder that let it through would hand it on.
            Json parsed = Json::parse(in.mutate(m.dump(-1, ' ', false, Json::error_handler_t::replace)),
                                      nullptr, false);
            if (!parsed.is_discarded()) m = parsed;
        }
        SCOPED_TRACE(m.dump(-1, ' ', false, Json::error_handler_t::replace));

        const auto status = Inbound::status(m);
        if (status.battery) {
            EXPECT_TRUE(*status.battery >= 0 && *status.battery <= 100);
        }

        if (const auto rtt = Inbound::rttMs(m, 1e6)) {
            EXPECT_TRUE(*rtt >= 0 && *rtt < 60000);
        }

        const auto offer = Inbound::netOffer(m, 47625);
        EXPECT_TRUE(offer.port == 47625 || (offer.port >= 1024 && offer.port <= 65535));
        EXPECT_LE(offer.ips.size(), 8u);
        for (const auto& ip : offer.ips)
            EXPECT_TRUE(Inbound::isRoutableIPv4(ip)) << ip;

        if (const auto id = Inbound::tid(m)) {
            EXPECT_TRUE(*id >= 1 && *id <= 2147483647u);
        }

        if (const auto file = Inbound::fileOffer(m)) {
            EXPECT_TRUE(file->size >= 0 && file->size <= 8589934592);
            EXPECT_EQ(file->sha256.size(), 64u);
            EXPECT_EQ(file->sha256.find_first_not_of("0123456789abcdef"), std::string::npos);
            EXPECT_LE(file->name.size(), 200u);
        }
        if (const auto size = Inbound::mirrorSize(m)) {
            EXPECT_TRUE(size->width >= 16 && size->width <= 8192 && size->height >= 16 &&
                        size->height <= 8192);
        }
        if (const auto audio = Inbound::audioFormat(m)) {
            EXPECT_TRUE(audio->rate >= 8000 && audio->rate <= 192000);
            EXPECT_TRUE(audio->channels == 1 || audio->channels == 2);
        }
        for (const auto& [key, value] : m.items()) {
            Inbound::integer(&value, in.count(), in.count());
            Inbound::number(&value);
            Inbound::boolean(&value);
            Inbound::text(&value, in.count());
        }
    }
}

TEST(Robustness, AMegabyteOfTextIsWalkedOnceAndCut) {
    std::string big;
    for (int i = 0; big.size() < 1'000'000; ++i) {
        big += i % 7 ? std::string("\xE2\x82\xAC|.\r\n\n") : std::string("\xFF\x00/", 3);
    }
    EXPECT_LE(SafeText::deviceName(big).size(), 256u);
    EXPECT_LE(SafeText::fileName(big).size(), 200u);
    EXPECT_LE(scalars(SafeText::logLine(big, 100)), 100u);
    const std::string block = SafeText::quotedBlock(big, 3, 10, "> ");
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 2);
    EXPECT_LE(block.size(), 3 * (2 + 10 * 4) + 2u);
    EXPECT_EQ(SafeText::logToken(big), "?");
    EXPECT_EQ(SafeText::platform(big), "?");
    EXPECT_LE(SafeText::truncateUtf8(big, 200).size(), 200u);
    const Json m{{"name", big},
                 {"tid", 1},
                 {"size", 1},
                 {"sha256", std::string(64, '0')},
                 {"addrs", Json::array({Json{{"ip", big}}})}};
    EXPECT_LE(Inbound::fileOffer(m)->name.size(), 200u);
    EXPECT_TRUE(Inbound::netOffer(m, 47625).ips.empty());
}

}  // namespace
}  // namespace velmora
