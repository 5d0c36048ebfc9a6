#include "core/protocol/json_guard.h"

#include <gtest/gtest.h>

#include <string>

#include "core/protocol/cxp_error.h"

namespace velmora {
namespace {

// The protocol error text the guard throws, or "" when it passes.
std::string guardResult(const std::string& text, std::size_t maxDepth = 16, std::size_t maxItems = 50000) {
    try {
        JsonGuard::check({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, maxDepth,
                         maxItems);
        return "";
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::protocolError);
        return e.text();
    }
}

constexpr const char* kDeep = "JSON aninhado demais";
constexpr const char* kWide = "JSON com elementos demais";

TEST(JsonGuard, CountsDepthAndElementsOnlyOutsideStrings) {
    const struct {
        const char* what;
        std::string text;
        std::string error;
    } rows[] = {
        {"empty message", "", ""},
        {"16 nested arrays", std::string(16, '['), ""},
        {"17 mixed openers", std::string(9, '{') + std::string(8, '['), kDeep},
        {"closers keep depth down", std::string(16, '[') + "]" + "[", ""},
        {"brackets in a string", R"({"a":"[[[[,,,,"})", ""},
        {"escaped quote keeps the string open", R"({"a":"\"[[[[[[[[[[[[[[[[[[[[["})", ""},
        {"double backslash ends the escape", R"(["\\",)" + std::string(16, '['), kDeep},
        {"stray closers bank no credit", std::string(5, ']') + std::string(17, '['), kDeep},
        {"unterminated string is left to the parser", R"({"a":"[[[[[[[[[[[[[[[[[[[[)", ""},
        {"50000 commas", "[" + std::string(50000, ',') + "]", ""},
        {"50001 commas", "[" + std::string(50001, ',') + "]", kWide},
        {"commas in a string", "[\"" + std::string(60000, ',') + "\"]", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(guardResult(row.text), row.error) << row.what;
    // The first violation in the bytes decides.
    EXPECT_EQ(guardResult(std::string(3, '[') + std::string(5, ','), 2, 2), kDeep);
    EXPECT_EQ(guardResult(std::string(5, ',') + std::string(3, '['), 2, 2), kWide);
}

}  // namespace
}  // namespace velmora
