#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/protocol/control_json.h"
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
std::string decodeError(const Bytes& data, std::size_t maxBytes = kControlMax) {
    try {
        const json message = decodeJSON(data, maxBytes);
        EXPECT_TRUE(message.is_object());
        return "";
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::protocolError);
        return e.text();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "a library exception escaped: " << e.what();
        return "escaped";
    }
}

// A JSON object of exactly n bytes: {"p":"xxx..."}.
Bytes objectOfSize(std::size_t n) {
    return bytes("{\"p\":\"" + std::string(n - 8, 'x') + "\"}");
}

TEST(DecodeJSON, SizeLimitIsInclusiveAndTestedFirst) {
    EXPECT_EQ(decodeError(objectOfSize(kControlMax)), "");
    EXPECT_EQ(decodeError(objectOfSize(kControlMax + 1)), "mensagem grande demais");
    // Too large wins over too deep: the payload is not scanned.
    EXPECT_EQ(decodeError(bytes(std::string(40, '[')), 39), "mensagem grande demais");
}

TEST(DecodeJSON, RefusesEverythingButAnObjectWithItsOwnError) {
    struct Row {
        const char* what;
        std::string payload;
        std::string error;
    };
    const Row rows[] = {
        {"empty payload", "", kInvalid},
        {"array", R"([{"t":"auth"}])", kInvalid},
        {"bare number", "5", kInvalid},
        {"bare null", "null", kInvalid},
        {"number out of double range", R"({"n":-1e400})", kInvalid},
        {"invalid UTF-8 in a text", "{\"t\":\"\xC3\x28\"}", kInvalid},
        {"lone continuation byte", "{\"t\":\"\x80\"}", kInvalid},
        {"trailing data", R"({"t":"a"}{"t":"b"})", kInvalid},
        {"comment", R"({"t":"a"} // hi)", kInvalid},
        {"truncated", R"({"t":"a")", kInvalid},
        {"17 nested arrays", "{\"a\":" + std::string(16, '[') + std::string(16, ']') + "}",
         "JSON aninhado demais"},
        {"17 nested, unbalanced", std::string(17, '['), "JSON aninhado demais"},
        {"empty object", "{}", ""},
        {"object after a byte-order mark", "\xEF\xBB\xBF{\"t\":\"ready\"}", ""},
        {"16 levels deep", "{\"a\":" + std::string(15, '[') + std::string(15, ']') + "}", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(decodeError(bytes(row.payload)), row.error) << row.what;
    }
}

TEST(DecodeJSON, TooManyElementsIsTheGuardsError) {
    std::string wide = "{\"a\":[0";
    for (int i = 0; i < 50001; ++i)
        wide += ",0";
    wide += "]}";
    EXPECT_EQ(decodeError(bytes(wide)), "JSON com elementos demais");
}

TEST(DecodeJSON, ReturnsTheMembersWithTheirKinds) {
    const json m = decodeJSON(bytes(R"({"t":"caps","n":7,"f":2.5,"b":true,"z":null,"a":[1],"o":{"k":"v"}})"),
                              kControlMax);
    EXPECT_EQ(m.at("t"), "caps");
    EXPECT_TRUE(m.at("n").is_number_integer());
    EXPECT_TRUE(m.at("b").is_boolean());
    EXPECT_TRUE(m.at("z").is_null());
    EXPECT_EQ(m.at("o").at("k"), "v");
    // Duplicate keys: the last one counts; nothing else is lost.
    EXPECT_EQ(decodeJSON(bytes(R"({"t":"a","t":"b"})"), kControlMax).at("t"), "b");
}

TEST(EncodeJSON, WritesCompactText) {
    EXPECT_EQ(text(encodeJSON(json::object())), "{}");
    EXPECT_EQ(text(encodeJSON(json{{"t", "ready"}})), R"({"t":"ready"})");
    const json nested = {{"t", "x"}, {"a", json::array({1, 2.5, true, nullptr})}, {"o", {{"k", "v"}}}};
    const std::string out = text(encodeJSON(nested));
    EXPECT_EQ(out.find(' '), std::string::npos);
    EXPECT_EQ(decodeJSON(bytes(out), kControlMax), nested);
}

TEST(EncodeJSON, FallsBackToAnEmptyObjectForWhatJsonCannotCarry) {
    const double inf = std::numeric_limits<double>::infinity();
    const json rows[] = {
        json{{"n", std::nan("")}},
        json{{"deep", {{"list", json::array({1, -inf})}}}},
        json{{"b", json::binary({1, 2, 3})}},
        json::array({1, 2}),
        json(),
    };
    for (const auto& row : rows) {
        EXPECT_EQ(text(encodeJSON(row)), "{}") << row.type_name();
    }
}

TEST(EncodeJSON, InvalidUtf8IsReplacedNotFatal) {
    // A device name with a broken byte must not turn the whole message into "{}".
    const json m = {{"t", "auth"}, {"name", std::string("Caf\xC3", 4)}};
    const std::string out = text(encodeJSON(m));
    EXPECT_NE(out, "{}");
    const json back = decodeJSON(bytes(out), kControlMax);
    EXPECT_EQ(back.at("t"), "auth");
    EXPECT_EQ(back.at("name"), "Caf\xEF\xBF\xBD");
}

TEST(Num, ReadsNumbersAndBooleansOnly) {
    const json m = {{"f", 2.5},   {"i", -3},      {"yes", true},           {"no", false},
                    {"s", "2.5"}, {"z", nullptr}, {"a", json::array({1})}, {"o", json::object()}};
    EXPECT_EQ(num(m, "f"), 2.5);
    EXPECT_EQ(num(m, "i"), -3.0);
    EXPECT_EQ(num(m, "yes"), 1.0);
    EXPECT_EQ(num(m, "no"), 0.0);
    for (const char* key : {"s", "z", "a", "o", "missing"}) {
        EXPECT_EQ(num(m, key), std::nullopt) << key;
    }
    EXPECT_EQ(num(json::object(), "f"), std::nullopt);
    EXPECT_EQ(num(json::array({1}), "f"), std::nullopt);
}

}  // namespace
}  // namespace velmora
