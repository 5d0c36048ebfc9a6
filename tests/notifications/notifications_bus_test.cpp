// The whole road on a private session bus: the phone's notification reaches a notification server of the
// test's own through the model and the D-Bus layer, and the user's reply, dismissal and the phone's
// withdrawal travel back. QtDBus needs an event loop: the pumps turn it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>

#include "core/l10n/l10n.h"
#include "platform/notifications/freedesktop_notifications.h"
#include "platform/notifications/reply_dialog.h"
#include "support/model_harness.h"
#include "test_notification_server.h"

namespace velmora {
namespace {

using Json = nlohmann::json;

QString tr(const char* key) {
    return QString::fromStdString(L10n::string(key));
}

struct PrivateBus {
    PrivateBus() {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (daemon.waitForReadyRead(60000)) address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon.kill();
        daemon.waitForFinished();
    }
    QProcess daemon;
    QString address;
};

// A paired phone connected to a model whose notifications go to the real layer on the private bus.
struct Road {
    explicit Road(QStringList caps) : server(bus.address, std::move(caps)) {
        h.pairBothSides();
        ModelPorts ports = h.ports();
        ports.notifications = layer;
        h.model = AppModel::create(ports, false);
        h.plugInCable();
        EXPECT_TRUE(pump([&] { return h.model->state().state.kind() == ConnState::Kind::connected; }));
    }
    bool pump(const std::function<bool()>& done) {
        return h.pumpUntil([&] {
            QCoreApplication::processEvents();
            return done();
        });
    }
    // Until the server has `n` calls and the layer has its answers: a round trip on the server's connection,
    // then on the layer's (the bus keeps each connection's order), then the queued events.
    bool served(std::size_t n) {
        if (!pump([&] { return server.calls().size() == n; })) return false;
        for (const QString& name : {test::TestNotificationServer::connectionName(bus.address), bus.address}) {
            auto ping = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                       "org.freedesktop.DBus", "GetId");
            QDBusConnection(name).call(ping, QDBus::Block, 60000);
        }
        QCoreApplication::processEvents();
        return true;
    }
    void post(const Json& message) { h.model->postNotification(*h.model->liveSession(), message); }
    std::vector<Json> phoneGot(const std::string& type) {
        std::vector<Json> got;
        EXPECT_TRUE(pump([&] {
            got.clear();
            for (const auto& entry : h.journal->all())
                if (entry.starts_with("phone ") && Json::parse(entry.substr(6))["t"] == type)
                    got.push_back(Json::parse(entry.substr(6)));
            return !got.empty();
        }));
        return got;
    }
    PrivateBus bus;
    test::TestNotificationServer server;
    test::ModelHarness h;
    QString asked;  // the title our reply dialog was opened with
    std::shared_ptr<FreedesktopNotifications> layer = std::make_shared<FreedesktopNotifications>(
        [this](const QString& title, std::function<void(const QString&)> done) {
            asked = title;
            done("já vou");
        },
        bus.address);
};

TEST(NotificationsOnTheBus, MarkupServerWithoutInlineReply) {
    Road road({"actions", "body", "body-markup"});
    ASSERT_FALSE(road.bus.address.isEmpty()) << "dbus-daemon did not start";
    road.post({{"key", "k"},
               {"app", "Chat"},
               {"title", "<Ana>"},
               {"text", "<img src=x> & <b>oi</b>"},
               {"actions", {{{"reply", true}, {"index", 2}}}}});
    ASSERT_TRUE(road.served(1));
    const auto call = road.server.calls()[0];
    EXPECT_EQ(call.summary, "Chat \u00B7 <Ana>");  // a summary is plain text on every server
    EXPECT_EQ(call.body, "&lt;img src=x&gt; &amp; &lt;b&gt;oi&lt;/b&gt;");
    EXPECT_EQ(call.actions,
              (QStringList{"default", "", "reply", tr("notif.reply"), "dismiss", tr("notif.dismiss")}));

    road.server.fire("ActionInvoked", 1, QString("reply"));
    EXPECT_EQ(road.phoneGot("notif.action"),
              (std::vector<Json>{{{"t", "notif.action"}, {"key", "k"}, {"index", 2}, {"reply", "já vou"}}}));
    EXPECT_EQ(road.asked, "Chat \u00B7 <Ana>");
    road.server.fire("ActionInvoked", 1, QString("dismiss"));
    EXPECT_EQ(road.phoneGot("notif.dismiss"), (std::vector<Json>{{{"t", "notif.dismiss"}, {"key", "k"}}}));

    road.post({{"key", "k"}, {"text", "again"}});  // the same key replaces
    ASSERT_TRUE(road.served(2));
    EXPECT_EQ(road.server.calls()[1].replaces, 1u);
    EXPECT_EQ(road.server.calls()[1].actions, (QStringList{"default", "", "dismiss", tr("notif.dismiss")}));
    road.h.model->removeNotification("k");
    EXPECT_TRUE(road.pump([&] { return road.server.closed() == std::vector<uint>{1}; }));
}

TEST(NotificationsOnTheBus, InlineReplyServerAndAnImpostor) {
    Road road({"actions", "body", "inline-reply"});
    ASSERT_FALSE(road.bus.address.isEmpty()) << "dbus-daemon did not start";
    road.post({{"key", "k"}, {"text", "a < b"}, {"actions", {{{"reply", true}}}}});
    ASSERT_TRUE(road.served(1));
    EXPECT_EQ(road.server.calls()[0].body, "a < b");  // no markup: shown as sent
    EXPECT_EQ(road.server.calls()[0].actions, (QStringList{"default", "", "inline-reply", tr("notif.reply"),
                                                           "dismiss", tr("notif.dismiss")}));
    EXPECT_EQ(road.server.calls()[0].hints.value("x-kde-reply-submit-button-text"), tr("notif.send"));

    // Another program's signal of the same name is not the server's: only the real reply arrives.
    auto signal = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                             "org.freedesktop.Notifications", "NotificationReplied");
    QDBusConnection::connectToBus(road.bus.address, "impostor " + road.bus.address)
        .send(signal << 1u << QString("forged"));
    road.server.fire("NotificationReplied", 1, QString("ok!"));
    EXPECT_EQ(road.phoneGot("notif.action"),
              (std::vector<Json>{{{"t", "notif.action"}, {"key", "k"}, {"index", 0}, {"reply", "ok!"}}}));
    road.server.fire("NotificationClosed", 1, 2u);             // closing is no dismissal
    road.server.fire("ActionInvoked", 1, QString("dismiss"));  // and the closed notice is forgotten
    road.post({{"key", "k2"}});
    ASSERT_TRUE(road.served(2));
    EXPECT_EQ(road.phoneGot("notif.action").size(), 1u);
    EXPECT_EQ(road.h.journal->count("phone " + Json({{"t", "notif.dismiss"}, {"key", "k"}}).dump()), 0);
}

TEST(NotificationsOnTheBus, NoServerTurnsTheMirrorOffAndSaysSo) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    test::ModelHarness h;
    ModelPorts ports = h.ports();
    ports.notifications = std::make_shared<FreedesktopNotifications>(nullptr, bus.address);
    h.model = AppModel::create(ports, false);
    h.exec->runPending();
    EXPECT_EQ(h.model->state().notifStatus, PublishedState::NotifStatus::unavailable);
    EXPECT_NE(h.log().find("notificações da área de trabalho: nenhum servidor"), std::string::npos);
    h.model->notifyLocal("t", "b");  // nothing to show it on; nothing breaks
    h.exec->runPending();
}

TEST(ReplyDialog, SendsWhatWasTypedAndRenders) {
    QString sent;
    ReplyDialog dialog("Chat \u00B7 Ana", [&](const QString& text) { sent = text; });
    dialog.field()->setText("Chego às 8");
    dialog.adjustSize();
    const QString dir = VELMORA_ARTIFACTS_DIR "/notifications";
    QDir().mkpath(dir);
    EXPECT_TRUE(dialog.grab().save(dir + "/reply_dialog.png"));
    dialog.accept();
    EXPECT_EQ(sent, "Chego às 8");
}

}  // namespace
}  // namespace velmora
