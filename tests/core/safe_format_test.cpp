#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/l10n/safe_format.h"

namespace velmora {
namespace {

TEST(SafeFormat, FillsAndNeverReadsPastTheArguments) {
    struct Case {
        const char* pattern;
        std::vector<FormatArg> args;
        std::string out;
    };
    const Case cases[] = {
        {"%@ tem %ld%%", {std::string("Pixel"), std::int64_t{42}}, "Pixel tem 42%"},
        {"%d / %lld", {std::int64_t{-7}, std::int64_t{9000000000}}, "-7 / 9000000000"},
        {"%2$@ antes de %1$@", {std::string("a"), std::string("b")}, "b antes de a"},
        {"%1$ld. %2$@", {std::int64_t{3}, std::string("Passo")}, "3. Passo"},
        {"%1$@ e %1$@", {std::string("x")}, "x e x"},
        {"%2$@ %@ %@", {std::string("a"), std::string("b")}, "b a b"},  // positions leave the sequence alone
        // Too few arguments: the placeholder stays as written.
        {"%@ e %@", {std::string("a")}, "a e %@"},
        {"sem %@", {}, "sem %@"},
        {"%3$d", {std::int64_t{1}}, "%3$d"},
        {"%999999999999$@", {std::string("a")}, "%999999999999$@"},
        // Unknown or malformed specifiers are copied through and take no argument.
        {"%s %@", {std::string("a")}, "%s a"},
        {"%5d|%@", {std::string("a")}, "%5d|a"},
        {"%0$@", {std::string("a")}, "%0$@"},
        {"%1$s", {std::string("a")}, "%1$s"},
        {"100%", {}, "100%"},
        {"%l", {std::int64_t{1}}, "%l"},
        {"%%@", {std::string("a")}, "%@"},
        // A mismatched argument still shows its value.
        {"%d", {std::string("texto")}, "texto"},
        {"%@", {std::int64_t{5}}, "5"},
        // Argument text is never read as a pattern.
        {"%@", {std::string("%@ %d %%")}, "%@ %d %%"},
        {"", {std::string("a")}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(safeFormat(c.pattern, c.args), c.out) << c.pattern;
}

}  // namespace
}  // namespace velmora
