#include <gtest/gtest.h>

#include "core/l10n/safe_format.h"
#include "core/text/safe_text.h"
#include "core/text/utf8.h"
#include "helpers.h"

namespace velmora {
namespace {

using namespace SafeText;

std::string repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(Utf8, DecodesWellFormedTextAndReplacesEachIllFormedSubpart) {
    const std::pair<std::string, std::u32string> cases[] = {
        {std::string("a\0b", 3), std::u32string(U"a\0b", 3)},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", U"\u00E9\u20AC\U0001F600\U0010FFFF"},
        {"a\x80z", U"a\uFFFDz"},                            // lone continuation
        {"\xC0\xAF", U"\uFFFD\uFFFD"},                      // overlong
        {"\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},            // overlong
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},            // surrogate
        {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xF5\xFF", U"\uFFFD\uFFFD"},                      // never a lead byte
        {"a\xE2\x82", U"a\uFFFD"},                          // truncated at the end
        {"\xF0\x9F\x98z", U"\uFFFDz"},                      // truncated before ASCII
        {"\xC3\xC3\xA9", U"\uFFFD\u00E9"},                  // lead then lead
    };
    for (const auto& [bytes, scalars] : cases) {
        EXPECT_EQ(Utf8::decode(bytes), scalars) << ::testing::PrintToString(bytes);
        const bool wellFormed = scalars.find(U'\uFFFD') == std::u32string::npos;
        EXPECT_EQ(Utf8::encode(scalars) == bytes, wellFormed);
    }
    EXPECT_EQ(Utf8::encode(U"\xD800"), "\xEF\xBF\xBD");  // a surrogate is no scalar
    EXPECT_EQ(Utf8::length(U'\U0001F600'), 4u);
    EXPECT_EQ(Utf8::utf16Length(U'\uFFFF'), 1u);
    EXPECT_EQ(Utf8::utf16Length(U'\U00010000'), 2u);
}

TEST(SafeText, DeviceNamesArePrintableBoundedAndNeverEmpty) {
    test::expectRows({
        {deviceName(std::nullopt), "dispositivo"},
        {deviceName(" \u200B \u00A0\u3000"), "dispositivo"},  // blanks and zero-width only
        {deviceName("Phone|8"), "Phone8"},
        {deviceName(repeat("\u20AC", 64)), repeat("\u20AC", 64)},
        {deviceName(repeat("\U0001F600", 100)), repeat("\U0001F600", 64)},
        {deviceName("a\xFF"), "a\uFFFD"},
        {deviceName(repeat("a", 63) + " bcd"), repeat("a", 63) + " "},  // a blank before the cut stays
        {platform("Android 14!"), "Android14"},
        {platform(std::string("a\0b", 3) + repeat("c", 20)), "ab" + repeat("c", 14)},
        {logToken("abc-1.2_3"), "abc-1.2_3"},
        {logToken(repeat("a", 32)), repeat("a", 32)},
        {logToken(repeat("a", 33)), "?"},
        {logToken(std::string("a\0", 2)), "?"},
    });
}

TEST(SafeText, LogLinesAndQuotedBlocksStayOnTheirLines) {
    test::expectRows({
        {logLine("a\tb\nc", 10), "a b c"},
        {logLine("\u200B\u200Babc\u202E", 3), "abc"},  // dropped scalars do not count
        {logLine("abc", -1), ""},
        {logLine(" a|b ", 10), " a|b "},  // pipe kept, nothing trimmed
        {quotedBlock("one\n\nthree", 2, 10, "> "), "> one\n> "},
        {quotedBlock("a\n", 5, 10, "> "), "> a\n> "},  // a final line feed gives a final empty line
        {quotedBlock("a\r\nb\rc\nd", 5, 10, "> "), "> a  b c\n> d"},  // CR does not split
        {quotedBlock("abcdef\nxy", 5, 3, "> "), "> abc\n> xy"},
        {limit("\u20AC\u20AC", 5, 5), "\u20AC"},
        {limit("\u20AC\u20AC", 5, 6), "\u20AC\u20AC"},
        {clamp("\U0001F600\U0001F600x", 2), "\U0001F600\U0001F600"},
    });
}

TEST(SafeText, FileNamesAreOneSafeNameThatKeepsItsExtension) {
    test::expectRows({
        {fileName("../../x/notes.txt"), "notes.txt"},
        {fileName("a\\b/c\\d.txt"), "d.txt"},
        {fileName("\"<x>|\".txt"), "__x___.txt"},
        {fileName(".bashrc"), "bashrc"},
        {fileName(".."), "arquivo"},
        {fileName("name. . "), "name"},
        {fileName(std::nullopt), "arquivo"},
        {fileName("a\nb\x7F.txt"), "ab.txt"},
        {fileName(repeat("a", 296) + ".pdf"), repeat("a", 196) + ".pdf"},
        {fileName(".\u0301x"), "\u0301x"},  // a leading dot before a combining mark
        {truncateUtf8(repeat("a", 30) + "." + repeat("x", 19), 25),
         repeat("a", 25)},  // a long tail is no extension
        {truncateUtf8("." + repeat("a", 30), 10), "." + repeat("a", 9)},
        {truncateUtf8(repeat("\u20AC", 5) + ".txt", 12), "\u20AC\u20AC.txt"},
        {truncateUtf8("ab cdef.txt", 7), "ab .txt"},
        // An extension is at most 16 UTF-16 units; an astral scalar counts two.
        {truncateUtf8(repeat("a", 20) + "." + repeat("\U0001F600", 7), 40),
         repeat("a", 11) + "." + repeat("\U0001F600", 7)},
        {truncateUtf8(repeat("a", 20) + "." + repeat("\U0001F600", 8) + "b", 41),
         repeat("a", 20) + "." + repeat("\U0001F600", 5)},
        {truncateUtf8("..........", 3), "arquivo"},
    });
}

TEST(SafeFormat, FillsAndNeverReadsPastTheArguments) {
    using S = std::string;
    test::expectRows({
        {safeFormat("%@ tem %ld%%", {S("Phone"), std::int64_t{42}}), "Phone tem 42%"},
        {safeFormat("%d / %lld", {std::int64_t{-7}, std::int64_t{9000000000}}), "-7 / 9000000000"},
        {safeFormat("%2$@ %@ %@", {S("a"), S("b")}), "b a b"},  // positions leave the sequence alone
        // Too few arguments: the placeholder stays as written.
        {safeFormat("%@ e %@", {S("a")}), "a e %@"},
        {safeFormat("%999999999999$@", {S("a")}), "%999999999999$@"},
        // Unknown or malformed specifiers are copied through and take no argument.
        {safeFormat("%s %@", {S("a")}), "%s a"},
        {safeFormat("100%", {}), "100%"},
        {safeFormat("%%@", {S("a")}), "%@"},
        {safeFormat("%d", {S("texto")}), "texto"},        // a mismatched argument still shows its value
        {safeFormat("%@", {S("%@ %d %%")}), "%@ %d %%"},  // argument text is never read as a pattern
    });
}

}  // namespace
}  // namespace velmora
