#include "core/protocol/control_json.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/protocol/json_guard.h"
#include "helpers.h"

namespace velmora {
namespace {

using nlohmann::json;
using test::bytesOf;
using S = std::string;
constexpr std::size_t kControlMax = 2097152;

// The text of the protocol error `action` threw, "" when it threw nothing; anything else shows as itself.
std::string refusal(const std::function<void()>& action) {
    const std::string out = test::outcomeOf(action);
    return out == "no error"                      ? ""
           : out.rfind("protocolError: ", 0) == 0 ? out.substr(15)
                                                  : "unexpected " + out;
}
std::string guard(const std::string& text, std::size_t maxDepth = 16, std::size_t maxItems = 50000) {
    return refusal([&] { JsonGuard::check(bytesOf(text), maxDepth, maxItems); });
}
std::string decode(const std::string& text, std::size_t maxBytes = kControlMax) {
    return refusal([&] { EXPECT_TRUE(decodeJSON(bytesOf(text), maxBytes).is_object()) << text; });
}

TEST(JsonGuard, CountsDepthAndElementsOnlyOutsideStrings) {
    const S deep = "JSON aninhado demais", wide = "JSON com elementos demais";
    test::expectRows({
        {guard(""), ""},
        {guard(S(16, '[')), ""},
        {guard(S(9, '{') + S(8, '[')), deep},
        {guard(S(16, '[') + "]["), ""},         // closers keep the depth down
        {guard(S(5, ']') + S(17, '[')), deep},  // but bank no credit
        {guard(R"({"a":"[[[[,,,,"})"), ""},
        {guard(R"({"a":"\"[[[[[[[[[[[[[[[[[[[[["})"), ""},  // an escaped quote keeps the string open
        {guard(R"(["\\",)" + S(16, '[')), deep},            // a double backslash ends the escape
        {guard(R"({"a":"[[[[[[[[[[[[[[[[[[[[)"), ""},       // an unterminated string is left to the parser
        {guard("[" + S(50000, ',') + "]"), ""},
        {guard("[" + S(50001, ',') + "]"), wide},
        {guard("[\"" + S(60000, ',') + "\"]"), ""},
        // The first violation in the bytes decides.
        {guard(S(3, '[') + S(5, ','), 2, 2), deep},
        {guard(S(5, ',') + S(3, '['), 2, 2), wide},
    });
}

TEST(DecodeJSON, RefusesEverythingButAnObjectWithinTheLimitsWithItsOwnError) {
    const S invalid = "mensagem inválida (JSON)";
    const auto objectOfSize = [](std::size_t n) { return "{\"p\":\"" + S(n - 8, 'x') + "\"}"; };
    test::expectRows({
        {decode(objectOfSize(kControlMax)), ""},
        {decode(objectOfSize(kControlMax + 1)), "mensagem grande demais"},
        {decode(S(40, '['), 39), "mensagem grande demais"},  // too large wins: the payload is not scanned
        {decode(""), invalid},
        {decode(R"([{"t":"auth"}])"), invalid},
        {decode(R"({"n":-1e400})"), invalid},  // beyond a double
        {decode("{\"t\":\"\xC3\x28\"}"), invalid},
        {decode(R"({"t":"a"}{"t":"b"})"), invalid},
        {decode(R"({"t":"a")"), invalid},
        {decode("{\"a\":" + S(16, '[') + S(16, ']') + "}"), "JSON aninhado demais"},
        {decode("{\"a\":" + S(15, '[') + S(15, ']') + "}"), ""},
        {decode("\xEF\xBB\xBF{\"t\":\"ready\"}"), ""},  // after a byte-order mark
    });
    // Duplicate keys: the last one counts.
    EXPECT_EQ(decodeJSON(bytesOf(R"({"t":"a","t":"b"})"), kControlMax).at("t"), "b");
}

TEST(EncodeJSON, WritesCompactTextAndFallsBackToAnEmptyObjectForWhatJsonCannotCarry) {
    const json nested = {{"t", "x"}, {"a", json::array({1, 2.5, true, nullptr})}, {"o", {{"k", "v"}}}};
    const Bytes out = encodeJSON(nested);
    EXPECT_EQ(std::count(out.begin(), out.end(), ' '), 0);
    EXPECT_EQ(decodeJSON(out, kControlMax), nested);
    for (const json& row :
         {json{{"n", std::nan("")}}, json{{"deep", {{"list", json::array({1, -INFINITY})}}}},
          json{{"b", json::binary({1, 2, 3})}}, json::array({1, 2}), json()})
        EXPECT_EQ(encodeJSON(row), bytesOf("{}")) << row.type_name();
    // A device name with a broken byte must not turn the whole message into "{}".
    EXPECT_EQ(decodeJSON(encodeJSON({{"t", "auth"}, {"name", S("Caf\xC3", 4)}}), kControlMax),
              (json{{"t", "auth"}, {"name", "Caf\xEF\xBF\xBD"}}));
    const json m = {{"f", 2.5}, {"yes", true}, {"s", "2.5"}, {"z", nullptr}};
    EXPECT_EQ(num(m, "f"), 2.5);
    EXPECT_EQ(num(m, "yes"), 1.0);
    for (const char* key : {"s", "z", "missing"})
        EXPECT_EQ(num(m, key), std::nullopt) << key;
}

}  // namespace
}  // namespace velmora
