#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/model/phone_app.h"

namespace velmora {
namespace {

using json = nlohmann::json;

TEST(PhoneApps, DecodeIsStrictAboutEveryElement) {
    struct Row {
        const char* stored;
        std::optional<std::vector<PhoneApp>> decoded;
    };
    const Row rows[] = {
        {R"([{"pkg":"com.example.chat","name":"Chat"}])",
         std::vector<PhoneApp>{{"com.example.chat", "Chat"}}},
        {R"([{"name":"Chat","pkg":"com.example.chat","icon":"x"}])",
         std::vector<PhoneApp>{{"com.example.chat", "Chat"}}},
        {R"([])", std::vector<PhoneApp>{}},
        {R"([{"pkg":"a","name":"A"},{"pkg":"a","name":"A"}])", std::vector<PhoneApp>{{"a", "A"}, {"a", "A"}}},
        {R"([{"pkg":"a","name":"A"},{"pkg":"com.example.chat"}])", std::nullopt},
        {R"([{"name":"Chat"}])", std::nullopt},
        {R"([{"pkg":"a","name":null}])", std::nullopt},
        {R"([{"pkg":7,"name":"A"}])", std::nullopt},
        {R"(["com.example.chat"])", std::nullopt},
        {R"({"pkg":"a","name":"A"})", std::nullopt},
        {R"(null)", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        EXPECT_EQ(PhoneApps::decode(json::parse(row.stored)), row.decoded);
    }
}

TEST(PhoneApps, EncodeKeepsListOrderAndDecodesBack) {
    std::vector<PhoneApp> apps{{"z.last", "Zed"}, {"a.first", "Ay"}, {"", ""}};
    json encoded = PhoneApps::encode(apps);
    EXPECT_EQ(encoded, json::parse(R"([{"pkg":"z.last","name":"Zed"},{"pkg":"a.first","name":"Ay"},
        {"pkg":"","name":""}])"));
    EXPECT_EQ(PhoneApps::decode(encoded), apps);
}

}  // namespace
}  // namespace velmora
