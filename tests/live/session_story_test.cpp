// A connected phone used the way a person uses it from the panel: ring it and stop the ringing, send the
// computer's clipboard and receive the phone's, and live through the phone going silent.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QProcess>

#include "app/design/buttons.h"
#include "app/shell/phones/phone_row.h"
#include "app/shell/tray/panel_window.h"
#include "live/live_app.h"
#include "live/live_desktop.h"
#include "live/live_phone.h"
#include "live/live_stories.h"

namespace velmora::live {
namespace {

using nlohmann::json;

TEST(SessionStory, RingThePhoneAndStopIt) {
    LivePhone phone;
    LiveApp app;
    ASSERT_TRUE(connectTyped(app, phone));
    click(findButton(&app.panel(), tr("panel.tile.ring")));
    ASSERT_TRUE(until([&] { return !phone.received("ring").empty(); }));
    EXPECT_EQ(phone.received("ring").back(), (json{{"t", "ring"}, {"on", true}}));
    // The tile now offers to stop the ringing.
    ASSERT_TRUE(until([&] { return findButton(&app.panel(), tr("panel.tile.ring_stop")) != nullptr; }));
    shot(&app.panel(), "ring", "1-ringing");
    click(findButton(&app.panel(), tr("panel.tile.ring_stop")));
    ASSERT_TRUE(until([&] { return phone.received("ring").size() == 2; }));
    EXPECT_EQ(phone.received("ring").back(), (json{{"t", "ring"}, {"on", false}}));
    EXPECT_TRUE(until([&] { return findButton(&app.panel(), tr("panel.tile.ring")) != nullptr; }));
}

TEST(SessionStory, ClipboardGoesBothWays) {
    LivePhone phone;
    LiveApp app;
    ASSERT_TRUE(connectTyped(app, phone));
    // Copied in another program, sent with the tile.
    QProcess copier;
    copier.start(QCoreApplication::applicationFilePath(), {"--clip-peer", "copiado em outro programa"});
    ASSERT_TRUE(until([&] { return QApplication::clipboard()->text() == "copiado em outro programa"; }));
    click(findButton(&app.panel(), tr("panel.tile.send_clipboard")));
    ASSERT_TRUE(until([&] {
        for (const json& m : phone.received("clip.set"))
            if (m.value("text", "") == "copiado em outro programa") return true;
        return false;
    }));
    // Copied on the phone: another program pastes it here.
    ASSERT_TRUE(phone.companion().sendClipboard("copiado no celular"));
    ASSERT_TRUE(until([&] { return QApplication::clipboard()->text() == "copiado no celular"; }));
    QProcess reader;
    reader.start(QCoreApplication::applicationFilePath(), {"--clip-peer", "--read"});
    ASSERT_TRUE(until([&] { return reader.state() == QProcess::NotRunning; }));
    EXPECT_EQ(reader.readAllStandardOutput().toStdString(), "copiado no celular");
    ASSERT_TRUE(until([&] { return copier.state() == QProcess::NotRunning; }))
        << "the copier keeps the clipboard until another program takes it";
    shot(&app.panel(), "clipboard", "1-connected");
}

// Over the cable, the way a phone the program knows is reached again without anyone's help.
TEST(SessionStory, ASilentPhoneIsLeftAndReachedAgain) {
    LivePhone phone;
    Desktop::instance().plugCable("SIM0042", "NB_7X", phone.port());
    LiveApp app;
    PhoneRow* row = nullptr;
    ASSERT_TRUE(until([&] {
        for (auto* r : app.panel().findChildren<PhoneRow*>())
            if (r->isVisible() && r->view().phone.id == "usb:SIM0042") row = r;
        return row != nullptr;
    }));
    click(row->button());
    ASSERT_TRUE(until([&] { return app.connected(); }));
    phone.companion().setSilent(true);  // no answer to the pings any more: out of reach
    ASSERT_TRUE(until([&] { return !app.connected(); }));
    EXPECT_TRUE(until([&] { return app.logHas("sem sinal do celular"); }));
    shot(&app.panel(), "silent", "1-lost");
    phone.companion().setSilent(false);  // back in reach
    ASSERT_TRUE(until([&] { return app.connected() && phone.sessions() >= 2; }))
        << "state " << static_cast<int>(app.kind());
    ASSERT_TRUE(until([&] { return findButton(&app.panel(), tr("common.disconnect")) != nullptr; }));
    shot(&app.panel(), "silent", "2-reconnected");
    EXPECT_EQ(phone.shownCodes().size(), 1u) << "asked again";
}

}  // namespace
}  // namespace velmora::live
