// Files dragged from another program onto the tray's panel, on a desktop as a user has it: a window manager
// that gives the keyboard to the window clicked, a system tray with the program's icon docked, and a second
// program (the drag peer, a file manager's stand-in) whose window drags a file. The pointer and keyboard are
// the X server's own (xdotool): the press on the other window gives it the keyboard, the drag crosses to the
// open panel and drops on its drop area, and the phone receives the file. A drag that only passes over the
// panel, a plain click on the other window or on the bare desktop, Escape and a second click on the icon
// close the panel.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <algorithm>
#include <fstream>

#include "app/shell/card/connected_card.h"
#include "app/shell/card/drop_area.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/tray/panel_window.h"
#include "app/shell/tray/status_item.h"
#include "core/l10n/l10n.h"
#include "live/drag_peer.h"
#include "live/live_app.h"
#include "live/live_phone.h"
#include "live/live_tray.h"
#include "platform/tray_host/x11_focus.h"
#include "support/temp_dir.h"

namespace velmora::live {
namespace {

int saidCount(Child& peer, const std::string& line) {
    return int(std::count(peer.linesSoFar().begin(), peer.linesSoFar().end(), line));
}

DropArea* dropArea(LiveApp& app) {
    auto* card = dynamic_cast<ConnectedCard*>(app.panel().content().body());
    return card ? card->dropArea() : nullptr;
}

TEST(TrayDropStory, AFileDraggedFromAnotherProgramOntoTheTrayPanelReachesThePhone) {
    TrayDesktop desktop;
    ASSERT_EQ(desktop.problem(), "");
    LivePhone phone;
    LiveApp app({.pairingAnswer = true, .tray = true});
    PanelWindow& panel = app.panel();
    ASSERT_EQ(panel.mode(), PanelWindow::Mode::popup);
    ASSERT_TRUE(desktop.docks(app));
    const auto openPanel = [&] { return desktop.openPanel(panel); };
    const auto closedFor = [&](const std::string& why, int before) {
        return desktop.closedFor(panel, why, before);
    };

    // Connected through the panel; the pairing dialog takes the keyboard, which closes the panel.
    ASSERT_TRUE(openPanel());
    app.connectTo(phone.address());
    ASSERT_TRUE(until([&] { return app.connected(); }));

    test::TempDir elsewhere("velmora-live-drag");
    const std::string bytes = "levado do gerenciador de arquivos\n";
    const auto file = elsewhere.path() / "arrastado.txt";
    std::ofstream(file, std::ios::binary) << bytes;
    Child peer({"/proc/self/exe", "--drag-peer", file.string()});
    xcb_window_t peerWindow = XCB_NONE;
    ASSERT_TRUE(until([&] {
        for (const auto& l : peer.linesSoFar())
            if (l.starts_with("ready ")) peerWindow = xcb_window_t(std::stoul(l.substr(6)));
        return peerWindow != XCB_NONE;
    }));
    const QPoint onFile = onScreen(peerWindow, kPeerFile.x(), kPeerFile.y());
    const auto received = [&] { return phone.companion().receivedFiles().size(); };

    ASSERT_TRUE(openPanel());
    ASSERT_NE(dropArea(app), nullptr);
    const QPoint target = dropArea(app)->mapToGlobal(dropArea(app)->rect().center());
    desktop.screenShot("tray-drop", "1-open");

    // The press on the file gives the other program the keyboard; the panel stays while the button is down.
    int losses = logCount("painel fechado: perdeu o foco");
    pointerTo(onFile);
    xdotool({"mousedown", "1"});
    pointerTo(onFile + QPoint(20, 10));
    ASSERT_TRUE(until([&] { return saidCount(peer, "dragging") == 1; }));
    ASSERT_TRUE(until([&] { return x11::inputFocus() != std::uint32_t(panel.internalWinId()); }));
    EXPECT_TRUE(panel.isVisible());
    // Over the drop area it shows where the file goes.
    pointerTo(target - QPoint(30, 0));
    pointerTo(target);
    ASSERT_TRUE(until([&] { return panel.content().dropping(); }));
    EXPECT_TRUE(panel.isVisible());
    const std::string phoneName = app.model().state().state.label();
    EXPECT_EQ(dropArea(app)->text(),
              QString::fromStdString(L10n::format("panel.drop.sending_to", {phoneName})));
    desktop.screenShot("tray-drop", "2-over-the-drop-area");
    // Dropped: the phone has the file, and the panel, whose keyboard is elsewhere, closes.
    xdotool({"mouseup", "1"});
    ASSERT_TRUE(until([&] { return saidCount(peer, "dropped") == 1; }));
    ASSERT_TRUE(until([&] { return received() == 1; }));
    const companion::ReceivedFile got = phone.companion().receivedFiles()[0];
    EXPECT_EQ(got.name, "arrastado.txt");
    EXPECT_TRUE(got.ok) << got.error;
    EXPECT_EQ(std::string(got.bytes.begin(), got.bytes.end()), bytes);
    EXPECT_TRUE(closedFor("perdeu o foco", losses));

    // Opened again, the drop area tells the file went.
    ASSERT_TRUE(openPanel());
    const QString sent =
        QString::fromStdString(L10n::format("transfer.sent", {std::string("arrastado.txt")}));
    ASSERT_TRUE(until([&] { return dropArea(app) && dropArea(app)->text() == sent; }))
        << dropArea(app)->text().toStdString();
    desktop.screenShot("tray-drop", "3-sent");

    // A drag that passes over the panel and ends back on its own window: open while the button is down,
    // closed when it comes up; nothing is sent.
    losses = logCount("painel fechado: perdeu o foco");
    pointerTo(onFile);
    xdotool({"mousedown", "1"});
    pointerTo(onFile + QPoint(20, 10));
    ASSERT_TRUE(until([&] { return saidCount(peer, "dragging") == 2; }));
    pointerTo(target - QPoint(30, 0));
    pointerTo(target);
    ASSERT_TRUE(until([&] { return panel.content().dropping(); }));
    pointerTo(onFile + QPoint(10, 10));
    pointerTo(onFile);
    ASSERT_TRUE(until([&] { return !panel.content().dropping(); }));
    EXPECT_TRUE(panel.isVisible());
    xdotool({"mouseup", "1"});
    ASSERT_TRUE(until([&] { return saidCount(peer, "refused") == 1; }));
    EXPECT_TRUE(closedFor("perdeu o foco", losses));
    EXPECT_EQ(received(), 1u);

    // A plain click on the other window, Escape and a second click on the icon close it at once. The click
    // takes the keyboard from it and comes up outside it: whichever the panel hears first closes it.
    ASSERT_TRUE(openPanel());
    losses = logCount("painel fechado: perdeu o foco");
    const int outsideBefore = logCount("painel fechado: clique fora");
    pointerTo(onFile);
    xdotool({"click", "1"});
    EXPECT_TRUE(until([&] {
        return !panel.isVisible() &&
               logCount("painel fechado: perdeu o foco") + logCount("painel fechado: clique fora") >
                   losses + outsideBefore;
    }));
    ASSERT_TRUE(openPanel());
    const int escapes = logCount("painel fechado: Escape");
    xdotool({"key", "Escape"});
    EXPECT_TRUE(closedFor("Escape", escapes));
    ASSERT_TRUE(openPanel());
    desktop.clickIcon();
    EXPECT_TRUE(until([&] { return !panel.isVisible(); }));
    EXPECT_EQ(saidCount(peer, "dragging"), 2);

    // So does a click on the bare desktop. The window manager takes the keyboard to a window of its own at
    // the press, and the press came outside the panel: either closes it at once. (With the panel's menu open,
    // the menu holds the pointer and the window manager hears nothing: see the own-menu story.)
    ASSERT_TRUE(openPanel());
    const QPoint bare(1240, 880);
    pointerTo(bare);
    ASSERT_EQ(windowAt(bare), XCB_NONE) << "a window covers the desktop there";
    losses = logCount("painel fechado: perdeu o foco");
    const int outside = logCount("painel fechado: clique fora");
    xdotool({"click", "1"});
    EXPECT_TRUE(until([&] {
        return !panel.isVisible() &&
               logCount("painel fechado: perdeu o foco") + logCount("painel fechado: clique fora") >
                   losses + outside;
    }));
}

}  // namespace
}  // namespace velmora::live
