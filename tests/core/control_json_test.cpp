#include "core/protocol/control_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/protocol/cxp_error.h"

namespace velmora {
namespace {

using nlohmann::json;

constexpr std::size_t kControlMax = 2097152;
constexpr const char* kInvalid = "mensagem inválida (JSON)";

Bytes bytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
std::string text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// The protocol error text decodeJSON throws, or "" when it returns an object.
std::string decodeError(const std::string& data, std::size_t maxBytes = kControlMax) {
    try {
        EXPECT_TRUE(decodeJSON(bytes(data), maxBytes).is_object());
        return "";
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::protocolError);
        return e.text();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "a library exception escaped: " << e.what();
        return "escaped";
    }
}

TEST(DecodeJSON, RefusesEverythingButAnObjectWithinTheLimitsWithItsOwnError) {
    // An object of exactly n bytes: {"p":"xxx..."}.
    const auto objectOfSize = [](std::size_t n) { return "{\"p\":\"" + std::string(n - 8, 'x') + "\"}"; };
    const std::pair<std::string, std::string> rows[] = {
        {objectOfSize(kControlMax), ""},
        {objectOfSize(kControlMax + 1), "mensagem grande demais"},
        {"", kInvalid},
        {R"([{"t":"auth"}])", kInvalid},
        {R"({"n":-1e400})", kInvalid},  // beyond a double
        {"{\"t\":\"\xC3\x28\"}", kInvalid},
        {R"({"t":"a"}{"t":"b"})", kInvalid},
        {R"({"t":"a")", kInvalid},
        {"{\"a\":" + std::string(16, '[') + std::string(16, ']') + "}", "JSON aninhado demais"},
        {"{\"a\":" + std::string(15, '[') + std::string(15, ']') + "}", ""},
        {"\xEF\xBB\xBF{\"t\":\"ready\"}", ""},  // after a byte-order mark
    };
    for (const auto& [payload, error] : rows)
        EXPECT_EQ(decodeError(payload), error) << payload.substr(0, 40);
    // Too large wins over too deep: the payload is not scanned.
    EXPECT_EQ(decodeError(std::string(40, '['), 39), "mensagem grande demais");
    // Duplicate keys: the last one counts.
    EXPECT_EQ(decodeJSON(bytes(R"({"t":"a","t":"b"})"), kControlMax).at("t"), "b");
}

TEST(EncodeJSON, WritesCompactTextAndFallsBackToAnEmptyObjectForWhatJsonCannotCarry) {
    const json nested = {{"t", "x"}, {"a", json::array({1, 2.5, true, nullptr})}, {"o", {{"k", "v"}}}};
    const std::string out = text(encodeJSON(nested));
    EXPECT_EQ(out.find(' '), std::string::npos);
    EXPECT_EQ(decodeJSON(bytes(out), kControlMax), nested);

    const double inf = std::numeric_limits<double>::infinity();
    for (const json& row : {json{{"n", std::nan("")}}, json{{"deep", {{"list", json::array({1, -inf})}}}},
                            json{{"b", json::binary({1, 2, 3})}}, json::array({1, 2}), json()})
        EXPECT_EQ(text(encodeJSON(row)), "{}") << row.type_name();

    // A device name with a broken byte must not turn the whole message into "{}".
    const json back =
        decodeJSON(encodeJSON({{"t", "auth"}, {"name", std::string("Caf\xC3", 4)}}), kControlMax);
    EXPECT_EQ(back, (json{{"t", "auth"}, {"name", "Caf\xEF\xBF\xBD"}}));
}

TEST(Num, ReadsNumbersAndBooleansOnly) {
    const json m = {{"f", 2.5},   {"i", -3},      {"yes", true},
                    {"s", "2.5"}, {"z", nullptr}, {"a", json::array({1})}};
    EXPECT_EQ(num(m, "f"), 2.5);
    EXPECT_EQ(num(m, "i"), -3.0);
    EXPECT_EQ(num(m, "yes"), 1.0);
    for (const char* key : {"s", "z", "a", "missing"})
        EXPECT_EQ(num(m, key), std::nullopt) << key;
    EXPECT_EQ(num(json::array({1}), "f"), std::nullopt);
}

}  // namespace
}  // namespace velmora
