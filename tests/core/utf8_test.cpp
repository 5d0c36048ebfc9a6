#include <gtest/gtest.h>

#include <string>

#include "core/text/utf8.h"

namespace velmora {
namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u32string scalars;
};

TEST(Utf8, DecodesWellFormedAndReplacesEachIllFormedSubpart) {
    const DecodeCase cases[] = {
        {"ascii", "ab", U"ab"},
        {"nul byte kept", std::string("a\0b", 3), std::u32string(U"a\0b", 3)},
        {"two three four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"\u00E9\u20AC\U0001F600"},
        {"highest scalar", "\xF4\x8F\xBF\xBF", U"\U0010FFFF"},
        {"lone continuation", "a\x80z", U"a\uFFFDz"},
        {"overlong two-byte", "\xC0\xAF", U"\uFFFD\uFFFD"},
        {"overlong three-byte", "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},
        {"surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"F5 and FF never lead", "\xF5\xFF", U"\uFFFD\uFFFD"},
        {"truncated at end", "a\xE2\x82", U"a\uFFFD"},
        {"truncated before ascii", "\xF0\x9F\x98z", U"\uFFFDz"},
        {"lead then lead", "\xC3\xC3\xA9", U"\uFFFD\u00E9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8::decode(c.bytes), c.scalars) << c.name;
    }
}

TEST(Utf8, EncodeIsTheInverseOfDecodeForValidText) {
    const std::string text = "Olá \U0001F600 — ok";
    EXPECT_EQ(Utf8::encode(Utf8::decode(text)), text);
    EXPECT_EQ(Utf8::encode(U"\xD800"), "\xEF\xBF\xBD");  // a surrogate is no scalar
}

TEST(Utf8, LengthsInBothEncodings) {
    EXPECT_EQ(Utf8::length(U'a'), 1u);
    EXPECT_EQ(Utf8::length(U'\u00E9'), 2u);
    EXPECT_EQ(Utf8::length(U'\uFFFD'), 3u);
    EXPECT_EQ(Utf8::length(U'\U0001F600'), 4u);
    EXPECT_EQ(Utf8::utf16Length(U'\uFFFF'), 1u);
    EXPECT_EQ(Utf8::utf16Length(U'\U00010000'), 2u);
}

}  // namespace
}  // namespace velmora
