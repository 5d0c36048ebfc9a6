// Phone notifications on the desktop: what is shown, what is filtered and limited, and what the user's
// answer sends back to the phone.
#include <gtest/gtest.h>

#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Json = nlohmann::json;
using Kind = NoticeEvent::Kind;

TEST(PhonePosts, ContentRules) {
    const std::string longKey(300, 'k');
    struct Row {
        Json message;
        std::optional<PhonePost> expected;
    };
    const Row rows[] = {
        {{{"key", "a"}, {"app", "Chat"}, {"title", "Ana"}, {"text", "oi"}, {"pkg", "p"}},
         PhonePost{"a", "p", "Chat", "Chat \u00B7 Ana", "oi", std::nullopt}},
        {{{"key", "a"}, {"app", "Chat"}, {"title", ""}},
         PhonePost{"a", "", "Chat", "Chat", "", std::nullopt}},
        {{{"key", "a"}, {"app", 5}, {"title", "T"}, {"text", true}, {"pkg", 1}},
         PhonePost{"a", "", "", "T", "", std::nullopt}},
        {{{"key", longKey}}, PhonePost{longKey.substr(0, 256), "", "", "", "", std::nullopt}},
        {{{"key", "a"}, {"actions", {{{"reply", false}, {"index", 1}}, {{"reply", true}, {"index", 3}}}}},
         PhonePost{"a", "", "", "", "", 3}},
        {{{"key", "a"}, {"actions", {{{"reply", true}, {"index", 99}}}}}, PhonePost{"a", "", "", "", "", 0}},
        {{{"key", "a"}, {"actions", {{{"reply", true}, {"index", true}}}}},
         PhonePost{"a", "", "", "", "", 0}},
        {{{"key", "a"}, {"actions", {{{"reply", 1}, {"index", 2}}}}},
         PhonePost{"a", "", "", "", "", std::nullopt}},
        {{{"key", "a"}, {"actions", "reply"}}, PhonePost{"a", "", "", "", "", std::nullopt}},
        {{{"key", 7}}, std::nullopt},
        {{{"title", "no key"}}, std::nullopt},
        {{{"key", "a"}, {"ongoing", true}}, std::nullopt},
        {{{"key", "a"}, {"group", true}}, std::nullopt},
        {{{"key", "a"}, {"group", "true"}}, PhonePost{"a", "", "", "", "", std::nullopt}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PhonePosts::read(row.message), row.expected) << row.message.dump();
    // Cut to whole scalars within both bounds: 2000 "é" are 4000 bytes; 2001 scalars are one too many.
    std::string body;
    for (int i = 0; i < 2001; ++i)
        body += "\u00E9";
    EXPECT_EQ(PhonePosts::read({{"key", "a"}, {"text", body}})->body, body.substr(0, 4000));
    const std::string emoji = "\U0001F600";  // 4 bytes: 200 of them pass the scalar bound, not the bytes
    std::string wide;
    for (int i = 0; i < 250; ++i)
        wide += emoji;
    EXPECT_EQ(PhonePosts::read({{"key", "a"}, {"title", wide}})->title.size(), 800u);
}

// A connected model with the fake desktop server; the phone journals what it receives.
struct Connected {
    Connected() {
        h.pairBothSides();
        h.start();
        h.plugInCable();
        EXPECT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    }
    AppModel& model() { return *h.model; }
    void post(Json message) {
        message["t"] = "notif.post";
        model().postNotification(*model().liveSession(), message);
        h.exec->runPending();
    }
    // The messages of one type the phone received, once there are `n`.
    std::vector<Json> phoneGot(const std::string& type, std::size_t n = 1) {
        std::vector<Json> got;
        EXPECT_TRUE(h.pumpUntil([&] {
            got.clear();
            for (const auto& entry : h.journal->all())
                if (entry.starts_with("phone ") && Json::parse(entry.substr(6))["t"] == type)
                    got.push_back(Json::parse(entry.substr(6)));
            return got.size() >= n;
        }));
        return got;
    }
    ModelHarness h;
};

TEST(NotificationMirror, TheUsersAnswersGoBackToThePhone) {
    Connected c;
    c.post({{"key", "k1"},
            {"app", "Chat"},
            {"text", "<b>oi</b>"},
            {"actions", {{{"reply", true}, {"index", 4}}}}});
    ASSERT_TRUE(c.h.notices->last());
    const DesktopNotice shown = *c.h.notices->last();
    EXPECT_TRUE(shown.withReply);
    EXPECT_EQ(shown.body, "<b>oi</b>");  // plain text here; the server layer escapes for markup
    c.h.notices->user(Kind::click, shown.id);
    c.h.notices->user(Kind::reply, shown.id, "tudo bem?");
    c.h.notices->user(Kind::dismiss, shown.id);
    EXPECT_EQ(c.phoneGot("notif.dismiss"), (std::vector<Json>{{{"t", "notif.dismiss"}, {"key", "k1"}}}));
    // The click sent nothing; the reply went before the dismissal, in order.
    EXPECT_EQ(
        c.phoneGot("notif.action"),
        (std::vector<Json>{{{"t", "notif.action"}, {"key", "k1"}, {"index", 4}, {"reply", "tudo bem?"}}}));

    const std::string longKey(400, 'x');  // withdrawn by its full key, as the phone knows it
    c.post({{"key", longKey}});
    c.model().removeNotification(longKey);
    c.h.exec->runPending();
    EXPECT_EQ(c.h.journal->count("notices.withdraw p:" + longKey.substr(0, 256)), 1);

    c.model().notifyLocal("Arquivo recebido", "foto.jpg", "/tmp/foto.jpg");
    c.h.exec->runPending();
    c.h.notices->user(Kind::click, c.h.notices->last()->id);
    EXPECT_EQ(c.h.journal->count("reveal /tmp/foto.jpg"), 1);
}

TEST(NotificationMirror, AFloodIsLimitedAndFilteredPostsCountToo) {
    Connected c;
    c.model().setNotif("muted", false);
    for (int i = 0; i < 70; ++i)
        c.post({{"key", std::to_string(i)}, {"pkg", i % 2 ? "muted" : "app" + std::to_string(i)}});
    EXPECT_EQ(c.h.notices->shown().size(), 30u);  // 60 admitted, half of them filtered
    EXPECT_EQ(c.model().state().phoneApps.size(), 31u);
    c.h.advance(10);
    c.post({{"key", "late"}});
    EXPECT_EQ(c.h.notices->last()->id, "p:late");
}

TEST(NotifFilter, ChoicesAreStoredPushedAndApplied) {
    Connected c;
    AppModel& model = c.model();
    model.setNotif("a", true);  // equals the default: no override
    EXPECT_TRUE(model.state().notifOverrides.empty());
    model.setNotif("b", false);
    EXPECT_EQ(c.h.settings->boolMap("notifOverrides"), (std::map<std::string, bool>{{"b", false}}));
    EXPECT_FALSE(model.notifOn("b"));
    model.setAllNotif(false);
    EXPECT_EQ(c.h.settings->boolean("notifDefault"), false);
    const Json off = {
        {"t", "notif.filter"}, {"default", false}, {"allow", Json::array()}, {"deny", Json::array()}};
    const auto filters = c.phoneGot("notif.filter", 5);  // at connecting, then one per change
    EXPECT_EQ(filters[2]["deny"], Json::array({"b"}));
    EXPECT_EQ(filters[3]["deny"], Json::array());  // the overrides went first
    EXPECT_EQ(filters[4], off);
    EXPECT_NE(c.h.log().find("notificações do celular: todas desligadas"), std::string::npos);
    c.post({{"key", "hidden"}, {"pkg", "c"}, {"app", ""}});
    c.post({{"key", "shown"}});  // no package: never filtered, never listed
    EXPECT_EQ(c.h.notices->last()->id, "p:shown");
    EXPECT_EQ(model.state().phoneApps, (std::vector<PhoneApp>{{"c", "c"}}));
}

TEST(PhoneApps, MergeRenamesKeepsLearnedAndSortsCaseBlindStably) {
    ModelHarness h;
    h.settings->setValue("phoneApps", PhoneApps::encode({{"x", "Zeta"}, {"y", "beta"}}));
    AppModel& model = h.start();
    model.mergePhoneApps({{"y", "Beta"}, {"w", "beta"}, {"v", "Alpha"}, {"w", "BETA"}});
    const std::vector<PhoneApp> expected{{"v", "Alpha"}, {"w", "BETA"}, {"y", "Beta"}, {"x", "Zeta"}};
    EXPECT_EQ(model.state().phoneApps, expected);
    EXPECT_EQ(PhoneApps::decode(*h.settings->value("phoneApps")), expected);
}

}  // namespace
}  // namespace velmora
