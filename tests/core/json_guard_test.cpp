#include <gtest/gtest.h>

#include <string>

#include "core/protocol/cxp_error.h"
#include "core/protocol/json_guard.h"

namespace velmora {
namespace {

ByteView view(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Returns the protocol error text the guard throws, or "" when it passes.
std::string guardResult(const std::string& text, std::size_t maxDepth = 16, std::size_t maxItems = 50000) {
    try {
        JsonGuard::check(view(text), maxDepth, maxItems);
        return "";
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::protocolError);
        return e.text();
    }
}

constexpr const char* kDeep = "JSON aninhado demais";
constexpr const char* kWide = "JSON com elementos demais";

TEST(JsonGuard, CountsStructureOnlyOutsideStrings) {
    struct Row {
        const char* what;
        std::string text;
        std::string error;
    };
    const Row rows[] = {
        {"empty message", "", ""},
        {"16 nested arrays", std::string(16, '['), ""},
        {"17 nested arrays", std::string(17, '['), kDeep},
        {"17 mixed openers", std::string(9, '{') + std::string(8, '['), kDeep},
        {"closers keep depth down", std::string(16, '[') + "]" + "[", ""},
        {"brackets in a string", R"({"a":"[[[[,,,,"})", ""},
        {"escaped quote keeps the string open", R"({"a":"\"[[[[[[[[[[[[[[[[[[[[["})", ""},
        {"double backslash ends the escape", R"(["\\",)" + std::string(16, '['), kDeep},
        {"escaped backslash then quote closes", R"(["x\\")" + std::string(16, '['), kDeep},
        {"stray closers bank no credit", std::string(5, ']') + std::string(17, '['), kDeep},
        {"unterminated string is left to the parser", R"({"a":"[[[[[[[[[[[[[[[[[[[[)", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(guardResult(row.text), row.error) << row.what;
    }
}

TEST(JsonGuard, ItemLimitIsInclusive) {
    const std::string atLimit = "[" + std::string(50000, ',') + "]";
    EXPECT_EQ(guardResult(atLimit), "");
    const std::string over = "[" + std::string(50001, ',') + "]";
    EXPECT_EQ(guardResult(over), kWide);
    // Commas inside strings are text, not elements.
    const std::string quoted = "[\"" + std::string(60000, ',') + "\"]";
    EXPECT_EQ(guardResult(quoted), "");
}

TEST(JsonGuard, StopsAtTheFirstViolation) {
    // Too deep comes first in the bytes, so the depth error wins over the later commas.
    const std::string text = std::string(3, '[') + std::string(5, ',');
    EXPECT_EQ(guardResult(text, 2, 2), kDeep);
    const std::string commasFirst = std::string(5, ',') + std::string(3, '[');
    EXPECT_EQ(guardResult(commasFirst, 2, 2), kWide);
}

}  // namespace
}  // namespace velmora
