#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/text/limits.h"
#include "core/text/safe_text.h"

namespace velmora {
namespace {

using Text = std::optional<std::string>;

struct Case {
    const char* name;
    Text in;
    std::string out;
};

std::string repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

std::optional<std::string_view> view(const Text& t) {
    if (!t) return std::nullopt;
    return std::string_view(*t);
}

TEST(Limits, RecordMaxPerChannel) {
    EXPECT_EQ(Limits::recordMax(0), 2097152);
    EXPECT_EQ(Limits::recordMax(1), 4194304);
    EXPECT_EQ(Limits::recordMax(2), 262144);
    EXPECT_EQ(Limits::recordMax(3), 65536);
    EXPECT_EQ(Limits::recordMax(4), 262144);
    EXPECT_EQ(Limits::recordMax(255), 4194304);
    EXPECT_EQ(Limits::maxFileSize, 8LL * 1024 * 1024 * 1024);
}

TEST(SafeText, DeviceName) {
    const Case cases[] = {
        {"absent", std::nullopt, "dispositivo"},
        {"empty", "", "dispositivo"},
        {"blanks and zero-width", " \u200B \u00A0\u3000", "dispositivo"},
        {"pipe dropped", "Phone|8", "Phone8"},
        {"tab dropped, not a blank", "Pho\tne", "Phone"},
        {"bidi override dropped", "ab\u202Ecd", "abcd"},
        {"trimmed", "  Handset S24 \n", "Handset S24"},
        {"64 three-byte scalars stay", repeat("\u20AC", 64), repeat("\u20AC", 64)},
        {"100 four-byte scalars", repeat("\U0001F600", 100), repeat("\U0001F600", 64)},
        {"invalid bytes shown, not passed", "a\xFF", "a\uFFFD"},
        {"blank before the cut stays", repeat("a", 63) + " bcd", repeat("a", 63) + " "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeText::deviceName(view(c.in)), c.out) << c.name;
}

TEST(SafeText, Platform) {
    const Case cases[] = {
        {"absent", std::nullopt, "?"},
        {"letters and digits only", "Android 14!", "Android14"},
        {"non-ascii letter", "\u00F1", "?"},
        {"first 16", "abcdefghijklmnopqrst", "abcdefghijklmnop"},
        {"NUL ignored", std::string("a\0b", 3), "ab"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeText::platform(view(c.in)), c.out) << c.name;
}

TEST(SafeText, LogToken) {
    const Case cases[] = {
        {"kept", "abc-1.2_3", "abc-1.2_3"},
        {"blank", "a b", "?"},
        {"33 bytes", repeat("a", 33), "?"},
        {"32 bytes", repeat("a", 32), repeat("a", 32)},
        {"empty", "", "?"},
        {"absent", std::nullopt, "?"},
        {"non-ascii", "caf\u00E9", "?"},
        {"NUL", std::string("a\0", 2), "?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeText::logToken(view(c.in)), c.out) << c.name;
}

TEST(SafeText, LogLine) {
    struct LineCase {
        const char* name;
        Text in;
        std::int64_t max;
        std::string out;
    };
    const LineCase cases[] = {
        {"breaks become blanks", "a\tb\nc", 10, "a b c"},
        {"override dropped", "ab\u202Ecd", 10, "abcd"},
        {"dropped scalars do not count", "\u200B\u200Babc", 3, "abc"},
        {"cut", "abcdef", 3, "abc"},
        {"zero", "abc", 0, ""},
        {"negative", "abc", -1, ""},
        {"absent", std::nullopt, 5, ""},
        {"pipe kept, nothing trimmed", " a|b ", 10, " a|b "},
        {"ill-formed byte", "a\xC3", 10, "a\uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeText::logLine(view(c.in), c.max), c.out) << c.name;
}

TEST(SafeText, FileName) {
    const Case cases[] = {
        {"path removed", "../../x/notes.txt", "notes.txt"},
        {"mixed separators", "a\\b/c\\d.txt", "d.txt"},
        {"reserved characters", "a:b*c?.txt", "a_b_c_.txt"},
        {"quotes and angles", "\"<x>|\".txt", "__x___.txt"},
        {"leading dot", ".bashrc", "bashrc"},
        {"dots only", "...", "arquivo"},
        {"dot dot", "..", "arquivo"},
        {"trailing dots and blanks", "name. . ", "name"},
        {"absent", std::nullopt, "arquivo"},
        {"trailing slash", "dir/", "arquivo"},
        {"controls dropped", "a\nb\x7F.txt", "ab.txt"},
        {"long ascii keeps extension", repeat("a", 296) + ".pdf", repeat("a", 196) + ".pdf"},
        {"leading dot before combining mark", ".\u0301x", "\u0301x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeText::fileName(view(c.in)), c.out) << c.name;
}

TEST(SafeText, TruncateUtf8) {
    struct TruncCase {
        const char* name;
        std::string in;
        std::int64_t max;
        std::string out;
    };
    const std::string tail20 = "." + repeat("x", 19);
    const TruncCase cases[] = {
        {"within the limit, dot kept", "abc.", 10, "abc."},
        {"long tail cut as a whole", repeat("a", 30) + tail20, 25, repeat("a", 25)},
        {"only dot first", "." + repeat("a", 30), 10, "." + repeat("a", 9)},
        {"scalar never split", repeat("\u20AC", 5) + ".txt", 12, "\u20AC\u20AC.txt"},
        {"cut ends in blank", "ab cdefghij", 3, "ab"},
        {"blank inside kept before extension", "ab cdef.txt", 7, "ab .txt"},
        {"astral extension counts two units", repeat("a", 20) + "." + repeat("\U0001F600", 7), 40,
         repeat("a", 11) + "." + repeat("\U0001F600", 7)},
        {"astral extension over 16 units", repeat("a", 20) + "." + repeat("\U0001F600", 8) + "b", 41,
         repeat("a", 20) + "." + repeat("\U0001F600", 5)},
        {"nothing left", "..........", 3, "arquivo"},
        {"extension larger than the limit", "abcdef.txt", 3, "abc"},
    };
    for (const auto& c : cases) {
        const std::string out = SafeText::truncateUtf8(c.in, c.max);
        EXPECT_EQ(out, c.out) << c.name;
        if (out != "arquivo") {
            EXPECT_LE(static_cast<std::int64_t>(out.size()), c.max) << c.name;
        }
    }
}

TEST(SafeText, LimitAndClamp) {
    EXPECT_EQ(SafeText::limit("abcdef", 3, std::nullopt), "abc");
    EXPECT_EQ(SafeText::limit("abc", 0, std::nullopt), "");
    EXPECT_EQ(SafeText::limit("\u20AC\u20AC", 5, 5), "\u20AC");
    EXPECT_EQ(SafeText::limit("\u20AC\u20AC", 5, 6), "\u20AC\u20AC");
    EXPECT_EQ(SafeText::limit("a\xFF", 5, std::nullopt), "a\uFFFD");
    EXPECT_EQ(SafeText::clamp(std::nullopt, 5), "");
    EXPECT_EQ(SafeText::clamp("\U0001F600\U0001F600x", 2), "\U0001F600\U0001F600");
    EXPECT_EQ(SafeText::clamp("abc", INT64_MAX), "abc");
    EXPECT_EQ(SafeText::clamp("abc", -3), "");
}

TEST(SafeText, QuotedBlock) {
    struct BlockCase {
        const char* name;
        Text in;
        std::int64_t maxLines;
        std::int64_t maxLineScalars;
        std::string out;
    };
    const BlockCase cases[] = {
        {"absent is one empty line", std::nullopt, 1, 10, "> "},
        {"empty middle line", "one\n\nthree", 2, 10, "> one\n> "},
        {"no lines", "abc", 0, 10, ""},
        {"final line feed gives a final empty line", "a\n", 5, 10, "> a\n> "},
        {"CR LF does not split", "a\r\nb\nc", 5, 10, "> a  b\n> c"},
        {"lone CR stays in its line", "a\rb", 5, 10, "> a b"},
        {"each line cut", "abcdef\nxy", 5, 3, "> abc\n> xy"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeText::quotedBlock(view(c.in), c.maxLines, c.maxLineScalars, "> "), c.out) << c.name;
    }
}

}  // namespace
}  // namespace velmora
