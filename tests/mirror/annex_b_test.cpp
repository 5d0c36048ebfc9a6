// Splitting the phone's Annex B bodies into NAL units: start codes of both lengths, zeros around them,
// 01 bytes inside units, and random streams dense in zeros against a byte-by-byte reading of the rule.

#include <gtest/gtest.h>

#include <random>

#include "app/mirror/media/annex_b.h"

namespace velmora {
namespace {

std::vector<Bytes> units(const Bytes& stream) {
    std::vector<Bytes> out;
    for (const ByteView unit : AnnexB::split(stream))
        out.emplace_back(unit.begin(), unit.end());
    return out;
}

TEST(AnnexB, StartCodesOfBothLengthsAndTheBytesAroundThem) {
    const struct {
        const char* name;
        Bytes stream;
        std::vector<Bytes> want;
    } cases[] = {
        {"three-byte codes", {0, 0, 1, 0x67, 0x42, 0, 0, 1, 0x68}, {{0x67, 0x42}, {0x68}}},
        {"four-byte codes", {0, 0, 0, 1, 0x65, 0xAA, 0, 0, 0, 1, 0x41}, {{0x65, 0xAA}, {0x41}}},
        {"a zero before a four-byte code stays with the unit before",
         {0, 0, 1, 0x41, 0, 0, 0, 0, 1, 0x41},
         {{0x41, 0}, {0x41}}},
        {"bytes before the first code are dropped", {9, 9, 0, 0, 1, 0x65}, {{0x65}}},
        {"empty units are dropped", {0, 0, 1, 0, 0, 1, 0x65, 0, 0, 0, 1}, {{0x65}}},
        {"01 bytes not after two zeros stay in the unit",
         {0, 0, 1, 0x41, 1, 0, 1, 1, 0, 1},
         {{0x41, 1, 0, 1, 1, 0, 1}}},
        {"trailing zeros stay with the last unit", {0, 0, 1, 0x41, 0, 0}, {{0x41, 0, 0}}},
        {"no start code at all", {0x41, 0, 1, 0, 0, 2, 1}, {}},
        {"a code at the very end", {0, 0, 1, 0x41, 0, 0, 1}, {{0x41}}},
        {"too short", {0, 0}, {}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(units(c.stream), c.want) << c.name;
}

// The rule read one position at a time, as it is written: the three-byte code first, then the four-byte one.
std::vector<Bytes> byTheRule(const Bytes& b) {
    std::vector<std::pair<std::size_t, std::size_t>> codes;
    for (std::size_t i = 0; i + 2 < b.size();) {
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) {
            codes.emplace_back(i, 3), i += 3;
        } else if (i + 3 < b.size() && b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 0 && b[i + 3] == 1) {
            codes.emplace_back(i, 4), i += 4;
        } else {
            ++i;
        }
    }
    std::vector<Bytes> out;
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::size_t begin = codes[k].first + codes[k].second;
        const std::size_t end = k + 1 < codes.size() ? codes[k + 1].first : b.size();
        if (end > begin)
            out.emplace_back(b.begin() + static_cast<long>(begin), b.begin() + static_cast<long>(end));
    }
    return out;
}

TEST(AnnexB, RandomStreamsDenseInZerosSplitAsTheRuleReadsThem) {
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        Bytes stream(random() % 40);
        for (auto& byte : stream) {
            const auto r = random() % 8;
            byte = r < 4 ? 0 : r < 6 ? 1 : static_cast<std::uint8_t>(random());
        }
        ASSERT_EQ(units(stream), byTheRule(stream)) << "round " << round;
    }
}

}  // namespace
}  // namespace velmora
