// The whole road on a private session bus, phone to model to D-Bus layer to a notification server of our
// own, and the user's answers back. QtDBus needs an event loop: each turn of the harness's pumps runs it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>

#include "core/l10n/l10n.h"
#include "core/protocol/control_json.h"
#include "platform/notifications/freedesktop_notifications.h"
#include "platform/notifications/reply_dialog.h"
#include "support/model_harness.h"
#include "support/wait_until.h"
#include "test_notification_server.h"

namespace velmora {
namespace {

using Json = nlohmann::json;

const auto tr = [](const char* key) { return QString::fromStdString(L10n::string(key)); };

// A connected phone; notices go to the real layer and a server with `caps`; the reply dialog says "já vou".
struct Road {
    explicit Road(QStringList caps, PhoneConfig phone = {}) : server(std::move(caps)), h(std::move(phone)) {
        h.eachTurn = [] { QCoreApplication::processEvents(); };
        h.pairBothSides();
        ModelPorts ports = h.ports();
        ports.notifications = std::make_shared<FreedesktopNotifications>(
            [](const QString&, auto done) { done("já vou"); }, server.address);
        h.model = AppModel::create(ports, false);
        h.plugInCable();
        EXPECT_TRUE(h.pumpUntil(ConnState::Kind::connected));
    }
    void post(const Json& message) { h.model->postNotification(*h.model->liveSession(), message); }
    // The layer takes Notify's answers and the server's signals in the order the server sent them.
    bool served(std::size_t n) {
        return h.pumpUntil([&] { return server.calls().size() == n; });
    }
    test::TestNotificationServer server;
    test::ModelHarness h;
};

// The phone posts over the link, withdraws what the user answered, and lists its apps.
TEST(NotificationsOnTheBus, MarkupServerWithoutInlineReply) {
    PhoneConfig phone;
    phone.afterReady = {{Ch::control, encodeJSON({{"t", "notif.post"},
                                                  {"key", "k"},
                                                  {"pkg", "chat"},
                                                  {"app", "Chat"},
                                                  {"title", "<b>"},
                                                  {"text", "<img src=x> &"},
                                                  {"actions", {{{"reply", true}, {"index", 2}}}}})}};
    phone.answer = [](const Json& m) {
        if (m["t"] == "notif.action") return std::vector<Json>{{{"t", "notif.remove"}, {"key", m["key"]}}};
        if (m["t"] != "apps.get") return std::vector<Json>{};
        return std::vector<Json>{{{"t", "apps"}, {"apps", {{{"pkg", "chat"}, {"name", "Chat Pro"}}}}}};
    };
    Road road({"actions", "body", "body-markup"}, std::move(phone));
    ASSERT_TRUE(road.served(1));
    const auto call = road.server.calls()[0];
    EXPECT_EQ(call.summary, "Chat \u00B7 <b>");  // a summary is plain text on every server
    EXPECT_EQ(call.body, "&lt;img src=x&gt; &amp;");
    EXPECT_EQ(call.actions,
              (QStringList{"default", "", "reply", tr("notif.reply"), "dismiss", tr("notif.dismiss")}));
    road.server.fire("ActionInvoked", 1, QString("default"));  // a click sends nothing
    road.server.fire("ActionInvoked", 1, QString("reply"));
    EXPECT_EQ(road.h.phoneGot("notif.action"),
              (std::vector<Json>{{{"t", "notif.action"}, {"key", "k"}, {"index", 2}, {"reply", "já vou"}}}));
    EXPECT_TRUE(road.h.pumpUntil([&] { return road.server.closed() == std::vector<uint>{1}; }));
    EXPECT_EQ(road.h.model->state().phoneApps, (std::vector<PhoneApp>{{"chat", "Chat Pro"}}));

    const std::string longKey(300, 'k');
    road.post({{"key", longKey}, {"title", std::string("An\0a", 4)}, {"text", std::string("tudo\0bem", 8)}});
    road.post({{"key", longKey}, {"text", "again"}});  // the same key replaces
    ASSERT_TRUE(road.served(3));
    EXPECT_EQ(road.server.calls()[1].summary, QString::fromUtf8("An\uFFFDa")) << "nothing lost after a NUL";
    EXPECT_EQ(road.server.calls()[1].body, QString::fromUtf8("tudo\uFFFDbem"));
    EXPECT_EQ(road.server.calls()[2].replaces, 2u);
    EXPECT_EQ(road.server.calls()[2].actions, (QStringList{"default", "", "dismiss", tr("notif.dismiss")}));
    road.h.model->removeNotification(longKey);  // withdrawn by the key as the phone knows it
    road.h.model->notifyLocal("Arquivo recebido", "a.txt", "/tmp/a.txt");
    ASSERT_TRUE(road.served(4));
    EXPECT_TRUE(road.h.pumpUntil([&] { return road.server.closed() == std::vector<uint>{1, 2}; }));
    EXPECT_EQ(road.server.calls()[3].actions, (QStringList{"default", ""}));
    road.server.fire("ActionInvoked", 4, QString("default"));
    EXPECT_TRUE(road.h.pumpUntil([&] { return road.h.journal->count("reveal /tmp/a.txt") == 1; }));
}

TEST(NotificationsOnTheBus, InlineReplyServerAndAnImpostor) {
    Road road({"actions", "body", "inline-reply"});
    road.post({{"key", "k"}, {"text", "a < b"}, {"actions", {{{"reply", true}}}}});
    ASSERT_TRUE(road.served(1));
    EXPECT_EQ(road.server.calls()[0].body, "a < b");  // no markup: shown as sent
    EXPECT_EQ(road.server.calls()[0].actions, (QStringList{"default", "", "inline-reply", tr("notif.reply"),
                                                           "dismiss", tr("notif.dismiss")}));
    // Another program's signal of the same name is not the server's: only the real reply arrives.
    road.server.fire("NotificationReplied", 1, QString("forged"), true);
    road.server.fire("NotificationReplied", 1, QString("ok!"));
    road.server.fire("NotificationClosed", 1, 2u);             // closing is no dismissal,
    road.server.fire("ActionInvoked", 1, QString("dismiss"));  // and the closed notice is forgotten
    road.post({{"key", "k2"}});
    ASSERT_TRUE(road.served(2));
    road.server.fire("ActionInvoked", 2, QString("dismiss"));
    EXPECT_EQ(road.h.phoneGot("notif.dismiss"), (std::vector<Json>{{{"t", "notif.dismiss"}, {"key", "k2"}}}));
    EXPECT_EQ(road.h.phoneGot("notif.action"),
              (std::vector<Json>{{{"t", "notif.action"}, {"key", "k"}, {"index", 0}, {"reply", "ok!"}}}));
}

// Checking again once the user started a server connects, and the notices reach it.
TEST(NotificationsOnTheBus, NoServerTurnsTheMirrorOffAndCheckingAgainFindsOneStartedLater) {
    test::TestNotificationServer bus({}, /*serve=*/false);
    test::ModelHarness h;  // for the log
    FreedesktopNotifications layer(nullptr, bus.address);
    const auto onEvent = [](const NoticeEvent&) {};
    EXPECT_FALSE(layer.start(onEvent));
    EXPECT_FALSE(layer.start(onEvent));
    const std::string log = h.log();
    const std::string missing = "notificações da área de trabalho: nenhum servidor";
    const auto said = log.find(missing);
    EXPECT_NE(said, std::string::npos);
    EXPECT_EQ(log.find(missing, said + 1), std::string::npos) << "said once";

    bus.serve();
    ASSERT_TRUE(layer.start(onEvent));
    layer.show({"n1", "Ana", "oi", "", false, true});
    EXPECT_TRUE(test::waitUntil([&] { return bus.calls().size() == 1; }));
}

TEST(ReplyDialog, SendsWhatWasTypedAndRenders) {
    QString sent;
    ReplyDialog dialog("Chat \u00B7 Ana", [&](const QString& text) { sent = text; });
    dialog.field()->setText("Chego às 8");
    dialog.adjustSize();
    QDir().mkpath(VELMORA_ARTIFACTS_DIR "/notifications");
    EXPECT_TRUE(dialog.grab().save(VELMORA_ARTIFACTS_DIR "/notifications/reply_dialog.png"));
    dialog.accept();
    EXPECT_EQ(sent, "Chego às 8");
}

}  // namespace
}  // namespace velmora
