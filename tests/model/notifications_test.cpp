// Phone notifications on the desktop: what is shown, filtered and limited, and what goes back to the phone.
#include <gtest/gtest.h>

#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Json = nlohmann::json;

TEST(PhonePosts, ContentRules) {
    const std::string longKey(300, 'k');
    const auto shown = [](std::string title, std::string body = "", std::optional<std::int64_t> reply = {}) {
        return std::optional(PhonePost{"a", "", "", std::move(title), std::move(body), reply});
    };
    const std::pair<Json, std::optional<PhonePost>> rows[] = {
        {{{"key", "a"}, {"app", "Chat"}, {"title", "Ana"}, {"text", "oi"}, {"pkg", "p"}},
         PhonePost{"a", "p", "Chat", "Chat \u00B7 Ana", "oi", {}}},
        {{{"key", "a"}, {"app", "Chat"}, {"title", ""}}, PhonePost{"a", "", "Chat", "Chat", "", {}}},
        {{{"key", "a"}, {"app", 5}, {"title", "T"}, {"text", true}, {"pkg", 1}}, shown("T")},
        {{{"key", longKey}}, PhonePost{longKey.substr(0, 256), "", "", "", "", {}}},
        {{{"key", "a"}, {"actions", {{{"reply", false}, {"index", 1}}, {{"reply", true}, {"index", 3}}}}},
         shown("", "", 3)},
        {{{"key", "a"}, {"actions", {{{"reply", true}, {"index", 99}}}}}, shown("", "", 0)},
        {{{"key", "a"}, {"actions", {{{"reply", true}, {"index", true}}}}}, shown("", "", 0)},
        {{{"key", "a"}, {"actions", {{{"reply", 1}, {"index", 2}}}}}, shown("")},
        {{{"key", "a"}, {"group", "true"}}, shown("")},
        {{{"key", 7}}, std::nullopt},
        {{{"key", "a"}, {"ongoing", true}}, std::nullopt},
        {{{"key", "a"}, {"group", true}}, std::nullopt},
        // U+0000 cannot travel over D-Bus: replaced, and what follows it stays.
        {{{"key", "a"},
          {"app", std::string("C\0h", 3)},
          {"title", std::string("\0Ana", 4)},
          {"text", std::string("o\0i\0", 4)}},
         PhonePost{"a", "", "C\uFFFDh", "C\uFFFDh \u00B7 \uFFFDAna", "o\uFFFDi\uFFFD", {}}},
    };
    for (const auto& [message, expected] : rows)
        EXPECT_EQ(PhonePosts::read(message), expected) << message.dump();
    // Whole scalars within both bounds: 2001 "é" keep 2000 (4000 bytes); 250 emoji keep 200 (800 bytes).
    std::string body, title;
    for (int i = 0; i < 2001; ++i)
        body += "\u00E9", title += i < 250 ? "\U0001F600" : "";
    EXPECT_EQ(PhonePosts::read({{"key", "a"}, {"text", body}, {"title", title}}),
              shown(title.substr(0, 800), body.substr(0, 4000)));
}

TEST(NotificationMirror, FloodFilterAppsAndTheFilterOnTheWire) {
    ModelHarness h;
    h.settings->setValue("phoneApps", PhoneApps::encode({{"y", "beta"}}));
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    const auto post = [&](Json message) {
        model.postNotification(*model.liveSession(), message);
        h.exec->runPending();
    };
    model.setNotif("a", true);  // equals the default: no override
    model.setNotif("muted", false);
    EXPECT_EQ(h.settings->boolMap("notifOverrides"), (std::map<std::string, bool>{{"muted", false}}));
    for (int i = 0; i < 70; ++i)  // limited before the filter: 60 admitted, half of them filtered
        post({{"key", std::to_string(i)}, {"pkg", i % 2 ? "muted" : "app" + std::to_string(i)}, {"app", ""}});
    EXPECT_EQ(h.journal->count("notices.show "), 30);
    EXPECT_EQ(model.state().phoneApps.size(), 32u);
    EXPECT_EQ(model.state().phoneApps[0], (PhoneApp{"app0", "app0"}));  // an empty name takes the package
    h.advance(10);
    post({{"key", "no package"}});  // accepted again, never filtered, never listed
    EXPECT_EQ(h.journal->count("notices.show "), 31);

    model.setAllNotif(false);
    post({{"key", "hidden"}, {"pkg", "app0"}});
    EXPECT_EQ(h.journal->count("notices.show "), 31);
    EXPECT_EQ(h.settings->boolean("notifDefault"), false);
    EXPECT_NE(h.log().find("notificações do celular: todas desligadas"), std::string::npos);
    const auto filters = h.phoneGot("notif.filter", 5);  // at connecting, then one per change
    ASSERT_EQ(filters.size(), 5u);
    EXPECT_EQ(filters[2]["deny"], Json::array({"muted"}));
    EXPECT_EQ(filters[3]["deny"], Json::array());  // the overrides went first
    EXPECT_EQ(filters[4].dump(), R"({"allow":[],"default":false,"deny":[],"t":"notif.filter"})");

    // The phone's list renames, keeps what was learned, and sorts by lower-cased name, stably.
    model.mergePhoneApps({{"app0", "Zeta"}, {"x", "BETA"}});
    const std::vector<PhoneApp> last{{"x", "BETA"}, {"y", "beta"}, {"muted", "muted"}, {"app0", "Zeta"}};
    EXPECT_EQ(std::vector(model.state().phoneApps.end() - 4, model.state().phoneApps.end()), last);
    EXPECT_EQ(PhoneApps::decode(*h.settings->value("phoneApps")), model.state().phoneApps);
}

}  // namespace
}  // namespace velmora
