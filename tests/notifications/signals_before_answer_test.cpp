// The server's signals that name a notice before the layer has read the Notify answer giving its id: a user
// clicks a notice the moment it shows, or QtDBus hands over a signal that came just behind the answer before
// the answer itself. The test server holds its answers, so the signals go out first, for certain.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "core/exec/manual_executor.h"
#include "platform/notifications/freedesktop_notifications.h"
#include "support/wait_until.h"
#include "test_notification_server.h"

namespace velmora {
namespace {

using Kind = NoticeEvent::Kind;

std::string str(const NoticeEvent& e) {
    const char* kinds[] = {"click", "dismiss", "reply"};
    return std::string(kinds[static_cast<int>(e.kind)]) + " " + e.id + (e.reply.empty() ? "" : " " + e.reply);
}

// The layer on a private bus with a server that holds its answers; the reply dialog says "já vou".
struct Desk {
    Desk() {
        server.holdAnswers();
        started = layer.start([this](const NoticeEvent& e) { events.push_back(str(e)); });
    }
    bool pumpUntil(const std::function<bool()>& done) {
        return test::waitUntil([&] {
            QCoreApplication::processEvents();
            return done();
        });
    }
    // Shows notice `id`; true once the server has its call (the `n`th), held unanswered.
    bool show(const std::string& id, std::size_t n) {
        layer.show({id, "Ana", "oi", "chat", true, true});
        return pumpUntil([&] { return server.calls().size() == n; });
    }
    // A click on `serverId`, once handled: whatever the server sent before it has been handled too.
    bool clickedThrough(uint serverId, const std::string& id) {
        server.fire("ActionInvoked", serverId, QString("default"));
        return pumpUntil([&] { return !events.empty() && events.back() == "click " + id; });
    }
    ManualExecutor clock;
    test::TestNotificationServer server{{"actions", "body"}};
    int asked = 0;
    FreedesktopNotifications layer{[this](const QString&, auto done) { ++asked, done("já vou"); },
                                   server.address, clock};
    bool started = false;
    std::vector<std::string> events;
};

// Each signal, sent just before the answer and just after it, counts once, for the notice the answer names.
TEST(NotificationSignalsBeforeTheAnswer, AreHandledOnceTheAnswerMapsTheirId) {
    const struct {
        const char* signal;
        QVariant arg;
        std::vector<std::string> events;  // before the click on the next notice
        int asked;                        // reply dialogs opened
        bool forgotten;
    } cases[] = {
        {"ActionInvoked", QString("default"), {"click n1"}, 0, false},
        {"ActionInvoked", QString("dismiss"), {"dismiss n1"}, 0, false},
        {"ActionInvoked", QString("reply"), {"reply n1 já vou"}, 1, false},
        {"NotificationReplied", QString("até já"), {"reply n1 até já"}, 0, false},
        {"NotificationClosed", 2u, {}, 0, true},
    };
    for (const auto& c : cases) {
        for (const bool before : {true, false}) {
            const std::string name = std::string(c.signal) + " " + c.arg.toString().toStdString() +
                                     (before ? " before" : " after") + " the answer";
            Desk desk;
            ASSERT_TRUE(desk.started);
            ASSERT_TRUE(desk.show("n1", 1)) << name;
            if (before) desk.server.fire(c.signal, 1, c.arg);
            desk.server.answer();
            if (!before) desk.server.fire(c.signal, 1, c.arg);
            ASSERT_TRUE(desk.show("n2", 2)) << name;
            desk.server.answer();
            ASSERT_TRUE(desk.clickedThrough(2, "n2")) << name;
            auto want = c.events;
            want.push_back("click n2");
            EXPECT_EQ(desk.events, want) << name;
            EXPECT_EQ(desk.asked, c.asked) << name;
            // A notice the server closed is forgotten: withdrawing it asks the server for nothing.
            desk.layer.withdraw("n1");
            desk.layer.withdraw("n2");
            ASSERT_TRUE(desk.pumpUntil([&] {
                const auto closed = desk.server.closed();
                return !closed.empty() && closed.back() == 2;
            })) << name;
            const std::vector<uint> closed = c.forgotten ? std::vector<uint>{2} : std::vector<uint>{1, 2};
            EXPECT_EQ(desk.server.closed(), closed) << name;
        }
    }
}

// Every signal the server sends for other programs' notices comes to us too: one for an id no answer gives
// is dropped once no answer is awaited, or after the time it may be held, or behind too many newer ones.
TEST(NotificationSignalsBeforeTheAnswer, ForAnIdNoAnswerGivesAreDropped) {
    {  // no answer awaited any more: dropped at once, whatever the clock says
        Desk desk;
        ASSERT_TRUE(desk.started && desk.show("n1", 1));
        desk.server.fire("ActionInvoked", 2, QString("dismiss"));
        desk.server.answer();
        ASSERT_TRUE(desk.clickedThrough(1, "n1"));
        ASSERT_TRUE(desk.show("n2", 2));  // the server gives it the id the stray named
        desk.server.answer();
        ASSERT_TRUE(desk.clickedThrough(2, "n2"));
        EXPECT_EQ(desk.events, (std::vector<std::string>{"click n1", "click n2"}));
    }
    {  // held too long while another answer is awaited: dropped; one sent since is kept
        Desk desk;
        ASSERT_TRUE(desk.started && desk.show("n1", 1) && desk.show("n2", 2));
        desk.server.fire("ActionInvoked", 3, QString("dismiss"));
        desk.server.answer();
        ASSERT_TRUE(desk.clickedThrough(1, "n1"));  // so the stray is held by now
        desk.clock.advance(FreedesktopNotifications::heldSeconds + 0.01);
        desk.server.fire("NotificationReplied", 3, QString("agora"));
        ASSERT_TRUE(desk.show("n3", 3));
        desk.server.answer(2);
        ASSERT_TRUE(desk.clickedThrough(3, "n3"));
        EXPECT_EQ(desk.events, (std::vector<std::string>{"click n1", "reply n3 agora", "click n3"}));
    }
    {  // behind as many newer ones as are held: dropped
        Desk desk;
        ASSERT_TRUE(desk.started && desk.show("n1", 1));
        desk.server.fire("ActionInvoked", 1, QString("dismiss"));
        for (std::size_t i = 0; i < FreedesktopNotifications::maxHeld; ++i)
            desk.server.fire("NotificationClosed", 100 + static_cast<uint>(i), 2u);
        desk.server.answer();
        ASSERT_TRUE(desk.clickedThrough(1, "n1"));
        EXPECT_EQ(desk.events, (std::vector<std::string>{"click n1"}));
    }
}

}  // namespace
}  // namespace velmora
