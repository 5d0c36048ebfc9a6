#include "core/discovery/stale_pairing.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Device = StalePairing::Device;

const std::string kOld = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
const std::string kNew = "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
const std::string kOther = "cccccccccccccccccccccccccccccccc";

TEST(StalePairingName, FoldsCaseDiacriticsBracketsAndSpaces) {
    const std::pair<std::string, std::string> cases[] = {
        {"Phone 8 (2)", "phone 8"},
        {"  pHone   8 ", "phone 8"},
        {"Élan", "elan"},
        {"E\u0301lan", "elan"},  // decomposed form: canonically the same name
        {"ÅNGSTRÖM", "angstrom"},
        {"Straße", "strasse"},
        {"a\u00A0b\u2028c\td\r\ne", "a b c d e"},
        {"(x)", ""},
        {"   ", ""},
        {"", ""},
        {"Celular (trabalho) (2)", "celular"},
    };
    for (const auto& [name, normalized] : cases)
        EXPECT_EQ(StalePairing::normalizedName(name), normalized) << name;
    // Ill-formed UTF-8 is read as U+FFFD, never past the text.
    EXPECT_EQ(StalePairing::normalizedName("a\xff"), "a\uFFFD");
    EXPECT_EQ(StalePairing::normalizedName(std::string_view("\xE2\x82", 2)), "\uFFFD");
}

TEST(StalePairingFind, PhonesPresentUnderTheirStoredIdAreNotStale) {
    EXPECT_TRUE(StalePairing::find({{kOld, "Phone"}}, {{kOld, "Phone"}, {kNew, "Phone"}}, {}).empty());
    // A Bluetooth beacon shows it under its stored id (prefix compared case-insensitively).
    EXPECT_TRUE(StalePairing::find({{kOld, "Phone"}}, {{kNew, "Phone"}}, {"AAAAAAAAAAAAAAAA"}).empty());
    EXPECT_EQ(StalePairing::find({{kOld, "Phone"}}, {{kNew, "Phone"}}, {"", "cccc"}).size(), 1u);
}

TEST(StalePairingFind, PairedPhonesAreNeverTheNewIdentity) {
    // kNew is itself a stored pairing: it is present, and it cannot stand for kOld.
    const auto pairs = StalePairing::find({{kOld, "Phone"}, {kNew, "Phone"}}, {{kNew, "Phone"}}, {});
    EXPECT_TRUE(pairs.empty());
}

TEST(StalePairingFind, FirstMatchingSeenPhoneWinsAndOnePhoneMayServeSeveral) {
    const auto pairs = StalePairing::find({{kOld, "Phone"}, {kOther, "PHONE"}, {"dd", "(x)"}},
                                          {{kNew, "phone (work)"}, {"eeee", "Phone"}, {"ffff", "(x)"}}, {});
    EXPECT_EQ(pairs, (std::vector<StalePair>{{kOld, "Phone", kNew}, {kOther, "PHONE", kNew}}));
}

}  // namespace
}  // namespace velmora
