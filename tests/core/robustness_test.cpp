#include <gtest/gtest.h>

#include <random>

#include "core/l10n/safe_format.h"
#include "core/net/ipv4.h"
#include "core/protocol/inbound.h"
#include "core/text/safe_text.h"
#include "core/text/utf8.h"

namespace velmora {
namespace {

using Json = nlohmann::json;

bool cleanUtf8(const std::string& s, std::int64_t maxScalars) {
    const std::u32string scalars = Utf8::decode(s);
    for (char32_t c : scalars) {
        if (SafeText::isUnsafe(c)) return false;
    }
    return Utf8::encode(scalars) == s &&
           static_cast<std::int64_t>(scalars.size()) <= std::max<std::int64_t>(maxScalars, 0);
}

// Mutated hostile text and messages for the cleaners and the field readers: nothing may crash, throw or break
// its bounds (in the sanitizer build any overread or UB fails too). The seed is fixed so a failure replays.
TEST(Robustness, CleanersAndFieldReadersKeepTheirBoundsOnHostileInput) {
    std::mt19937 rng(20260314);
    const auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    const std::u32string scalars = U"/\\|. \n\u0085\u00AD\u200B\u202E\u0301\U0001F600";
    const std::string samples[] = {"../../x/notes.txt", "Phone|8", "192.168.100.2000", "name. . ",
                                   "%1$@ %2$ld %% %@"};
    const std::int64_t counts[] = {-1, 0, 1, 3, 16, 64, 200, INT64_MAX, INT64_MIN};
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
    for (int round = 0; round < 500; ++round) {
        std::string t = samples[below(std::size(samples))];
        for (std::size_t n = below(30); n > 0; --n) {
            const std::string piece = below(2) ? std::string(1, static_cast<char>(rng()))
                                               : Utf8::encode(scalars.substr(below(scalars.size()), 1));
            t.insert(below(t.size() + 1), piece);
        }
        const std::int64_t max = counts[below(std::size(counts))],
                           lines = static_cast<std::int64_t>(below(5));
        SCOPED_TRACE(::testing::PrintToString(t) + " " + std::to_string(max));
        const std::string name = SafeText::deviceName(t), file = SafeText::fileName(t);
        EXPECT_TRUE(cleanUtf8(name, 64) && name.find('|') == std::string::npos);
        EXPECT_TRUE(cleanUtf8(file, 200) && !file.empty() && file.size() <= 200 && file[0] != '.');
        EXPECT_EQ(file.find_first_of("/\\:*?\"<>|"), std::string::npos);
        EXPECT_LE(SafeText::platform(t).size(), 16u);
        EXPECT_TRUE(SafeText::logToken(t) == "?" || SafeText::logToken(t) == t);
        EXPECT_TRUE(cleanUtf8(SafeText::logLine(t, max), max));
        const std::string block = SafeText::quotedBlock(t, lines, max, "> ");
        EXPECT_LE(std::count(block.begin(), block.end(), '\n'), std::max<std::int64_t>(lines - 1, 0));
        const std::string cut = SafeText::limit(t, 10, max), truncated = SafeText::truncateUtf8(t, max);
        EXPECT_TRUE(Utf8::encode(Utf8::decode(cut)) == cut &&
                    static_cast<std::int64_t>(cut.size()) <= std::max<std::int64_t>(max, 0));
        EXPECT_TRUE(truncated == "arquivo" || static_cast<std::int64_t>(truncated.size()) <= max);
        EXPECT_TRUE(IPv4::value(t) || !Inbound::isRoutableIPv4(t));
        safeFormat(t, {t, max});

        // A message every reader accepts, with some fields replaced by hostile values.
        Json m = valid;
        const Json values[] = {
            nullptr,          true,    0.5, -0.0,       1e16,          9e15, 8589934592.0,
            2147483648.0,     48000.0, -7,  UINT64_MAX, Json::array(), t,    Json::array({{{"ip", t}}, t}),
            Json{{"rate", t}}};
        for (std::size_t n = 1 + below(4); n > 0; --n) {
            auto field = std::next(m.begin(), static_cast<std::ptrdiff_t>(below(m.size())));
            const bool inner = field.key() == "audio" && field->is_object();
            (inner ? (*field)[below(2) ? "rate" : "channels"] : *field) = values[below(std::size(values))];
        }
        const auto battery = Inbound::status(m).battery;
        EXPECT_TRUE(!battery || (*battery >= 0 && *battery <= 100));
        const auto rtt = Inbound::rttMs(m, 1e6);
        EXPECT_TRUE(!rtt || (*rtt >= 0 && *rtt < 60000));
        const auto offer = Inbound::netOffer(m, 47625);
        EXPECT_TRUE(offer.port == 47625 || (offer.port >= 1024 && offer.port <= 65535));
        for (const auto& ip : offer.ips)
            EXPECT_TRUE(Inbound::isRoutableIPv4(ip)) << ip;
        if (const auto f = Inbound::fileOffer(m)) {
            EXPECT_TRUE(f->tid >= 1 && f->size >= 0 && f->size <= 8589934592 && f->name.size() <= 200);
            EXPECT_EQ(f->sha256.find_first_not_of("0123456789abcdef"), std::string::npos);
        }
        const auto size = Inbound::mirrorSize(m);
        EXPECT_TRUE(!size ||
                    (size->width >= 16 && size->width <= 8192 && size->height >= 16 && size->height <= 8192));
        const auto audio = Inbound::audioFormat(m);
        EXPECT_TRUE(!audio || (audio->rate >= 8000 && audio->rate <= 192000 && audio->channels >= 1 &&
                               audio->channels <= 2));
    }
}

}  // namespace
}  // namespace velmora
