// What the phone answers to the computer's requests and what it keeps of them.
#include <gtest/gtest.h>

#include "core/crypto/base64.h"
#include "sim_phone/computer_end.h"

namespace velmora::test {
namespace {

using nlohmann::json;

TEST(PhoneAnswers, TheSessionOpensWithCapsAndStatus) {
    companion::CompanionPhone phone({.status = {.battery = 55, .charging = true, .screen = true}});
    Connected c(phone);
    ASSERT_TRUE(c.end.waitCount("control", 2));
    const auto r = c.end.records();
    EXPECT_EQ(r[0].message.value("t", ""), "caps");
    EXPECT_EQ(r[0].message.value("appVersion", ""), "2.4.0");
    EXPECT_EQ(
        r[1].message,
        json({{"t", "status"}, {"battery", 55}, {"charging", true}, {"fast", false}, {"screen", true}}));
}

TEST(PhoneAnswers, RequestsAreAnsweredInTheirWireForms) {
    companion::CompanionPhone phone;
    Connected c(phone);
    c.session().sendControl({{"t", "apps.get"}});
    c.session().sendControl({{"t", "diag.get"}});
    c.session().sendControl({{"t", "bench.start"}, {"bytes", 10000}});
    const auto apps = c.end.waitControl("apps");
    ASSERT_TRUE(apps);
    EXPECT_EQ(c.end.records()[*apps].message["apps"][0],
              json({{"pkg", "com.example.chat"}, {"name", "Conversa"}}));
    const auto diag = c.end.waitControl("diag");
    ASSERT_TRUE(diag);
    EXPECT_TRUE(c.end.records()[*diag].message["info"].is_string());
    // The speed test: chunks of at most 4096 Base64 characters carrying the asked bytes, then the end.
    const auto end = c.end.waitControl("bench.end");
    ASSERT_TRUE(end);
    std::size_t bytes = 0;
    for (const auto& rec : c.end.records())
        if (rec.message.value("t", "") == "bench.chunk") {
            const std::string d = rec.message["d"];
            EXPECT_LE(d.size(), 4096u);
            ASSERT_TRUE(Base64::decode(d));
            bytes += Base64::decode(d)->size();
        }
    EXPECT_EQ(bytes, 10000u);
}

TEST(PhoneAnswers, WhatTheComputerSendsIsKept) {
    companion::CompanionPhone phone;
    Connected c(phone);
    c.session().sendControl({{"t", "clip.set"}, {"text", "do computador"}});
    c.session().sendControl({{"t", "notif.action"}, {"key", "k1"}, {"index", 0}, {"reply", "já vou"}});
    c.session().sendControl({{"t", "notif.dismiss"}, {"key", "k2"}});
    c.session().sendInput({{"t", "in.tap"}, {"x", 0.5}, {"y", 0.25}});
    c.session().sendInput({{"t", "in.key"}, {"code", 66}});
    ASSERT_TRUE(phone.inbox().waitControl("notif.dismiss", 0, 120));
    ASSERT_TRUE(phone.inbox().waitInputs(2, 120));
    EXPECT_EQ(phone.clipboard(), "do computador");
    EXPECT_EQ(phone.inbox().waitControl("notif.action", 0, 1)->value("reply", ""), "já vou");
    EXPECT_EQ(phone.inbox().inputs(), (std::vector<json>{{{"t", "in.tap"}, {"x", 0.5}, {"y", 0.25}},
                                                         {{"t", "in.key"}, {"code", 66}}}));
}

TEST(PhoneAnswers, ASilentPhoneAnswersNoPingUntilItIsBack) {
    companion::CompanionPhone phone;
    Connected c(phone);
    phone.setSilent(true);
    const std::size_t from = c.end.records().size();
    c.session().sendControl({{"t", "ping"}, {"seq", 1}});
    c.session().sendControl({{"t", "status.get"}});  // still handled: only the link's liveness goes quiet
    const auto status = c.end.waitControl("status", from);
    ASSERT_TRUE(status);
    const auto records = c.end.records();
    for (std::size_t i = from; i < *status; ++i)
        EXPECT_NE(records[i].message.value("t", ""), "pong") << "a pong while silent";
    phone.setSilent(false);
    c.session().sendControl({{"t", "ping"}, {"seq", 2}});
    const auto pong = c.end.waitControl("pong", *status);
    ASSERT_TRUE(pong);
    EXPECT_EQ(c.end.records()[*pong].message, json({{"t", "pong"}, {"seq", 2}}));
}

TEST(PhoneAnswers, ActionsWithoutASessionReportFalse) {
    companion::CompanionPhone phone;
    EXPECT_FALSE(phone.notify({.title = "t", .text = "x"}));
    EXPECT_FALSE(phone.sendClipboard("x"));
    EXPECT_FALSE(phone.sessionLive());
    EXPECT_EQ(phone.sendFiles({"/nada"}).front().outcome, "no_session");
}

}  // namespace
}  // namespace velmora::test
