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
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
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
#include "live/live_desktop.h"
#include "live/live_phone.h"
#include "platform/tray_host/x11_focus.h"
#include "support/temp_dir.h"
#include "tray_look/test_tray_host.h"

namespace velmora::live {
namespace {

// The X server's pointer and keyboard, as a person moves them.
void xdotool(const QStringList& args) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    ASSERT_FALSE(tool.isEmpty()) << "xdotool is not installed (deps/apt/shell.txt)";
    ASSERT_EQ(QProcess::execute(tool, args), 0) << args.join(' ').toStdString();
}

void pointerTo(const QPoint& at) {
    xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())});
}

// Whether some client holds the window manager's selection of the first screen.
bool windowManagerRuns() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    bool owned = false;
    if (!xcb_connection_has_error(c)) {
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 5, "WM_S0"), nullptr);
        if (atom) {
            auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
            owned = owner && owner->owner != XCB_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    xcb_disconnect(c);
    return owned;
}

// Where a point of another program's window lies on the screen, wherever the window manager put it.
QPoint onScreen(xcb_window_t window, int x, int y) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* r = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, root, std::int16_t(x), std::int16_t(y)), nullptr);
    const QPoint at = r ? QPoint(r->dst_x, r->dst_y) : QPoint();
    std::free(r);
    xcb_disconnect(c);
    return at;
}

// The top-level window under the pointer at `at`, or none where only the desktop is.
xcb_window_t windowAt(const QPoint& at) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* r = xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
    const xcb_window_t child = r && r->root_x == at.x() && r->root_y == at.y() ? r->child : root;
    std::free(r);
    xcb_disconnect(c);
    return child;
}

int saidCount(Child& peer, const std::string& line) {
    return int(std::count(peer.linesSoFar().begin(), peer.linesSoFar().end(), line));
}

int logCount(const std::string& text) {
    const std::string log = test::readFile(Desktop::instance().home() / "state" / "Velmora" / "velmora.log");
    int n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

DropArea* dropArea(LiveApp& app) {
    auto* card = dynamic_cast<ConnectedCard*>(app.panel().content().body());
    return card ? card->dropArea() : nullptr;
}

// What the screen shows, as build/artifacts/live/<story>-<step>.png.
void screenShot(test::TestTrayHost& tray, const std::string& step) {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/live");
    QDir().mkpath(dir);
    tray.grabScreen(QRect(0, 0, 1280, 900)).save(dir + "/tray-drop-" + QString::fromStdString(step) + ".png");
}

TEST(TrayDropStory, AFileDraggedFromAnotherProgramOntoTheTrayPanelReachesThePhone) {
    Child wm({"openbox", "--sm-disable"});
    ASSERT_TRUE(until(windowManagerRuns)) << "openbox did not start (deps/apt/app.txt)";
    // Qt hears a tray that starts after it by the tray's announcement, and then makes its icon's window
    // afresh: an icon made before Qt heard it would be docked and then lost. Heard first, it is not. (The
    // platform's native interface is a QObject, the first and only base of its class.)
    QSignalSpy announced(reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface()),
                         SIGNAL(systemTrayWindowChanged(QScreen*)));
    test::TestTrayHost tray(QColor(0x2b, 0x2b, 0x2b), QColor(Qt::white));
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    ASSERT_TRUE(until([&] { return announced.count() > 0; }));
    QTimer pump;
    QObject::connect(&pump, &QTimer::timeout, [&] { tray.pump(); });
    pump.start(10);

    LivePhone phone;
    LiveApp app({.pairingAnswer = true, .tray = true});
    PanelWindow& panel = app.panel();
    ASSERT_EQ(panel.mode(), PanelWindow::Mode::popup);
    ASSERT_TRUE(until([&] { return tray.docked() && app.item().tray()->geometry().isValid(); }));
    const QPoint icon = tray.iconArea().center();  // the tray's window sits at the screen's origin
    const auto holdsKeyboard = [&] {
        return panel.isVisible() && x11::inputFocus() == std::uint32_t(panel.internalWinId());
    };
    // A click on the icon, each a little aside from the one before: two quick ones on one spot would make a
    // double click, which the icon does not take as a click.
    int clicks = 0;
    const auto clickIcon = [&] {
        pointerTo(icon + QPoint(++clicks % 2 ? 6 : -6, 0));
        xdotool({"click", "1"});
    };
    // One that comes within 0.25 s of the panel closing is ignored, and comes again.
    const auto openPanel = [&] {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int ignored = logCount("clique no ícone ignorado");
            clickIcon();
            if (!until([&] { return holdsKeyboard() || logCount("clique no ícone ignorado") > ignored; }))
                return false;
            if (holdsKeyboard()) return true;
        }
        return false;
    };
    const auto closedFor = [&](const std::string& why, int before) {
        return until([&] { return !panel.isVisible() && logCount("painel fechado: " + why) > before; });
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
    screenShot(tray, "1-open");

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
    screenShot(tray, "2-over-the-drop-area");
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
    screenShot(tray, "3-sent");

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
    clickIcon();
    EXPECT_TRUE(until([&] { return !panel.isVisible(); }));
    EXPECT_EQ(saidCount(peer, "dragging"), 2);

    // So does a click on the bare desktop, which takes no keyboard from it.
    ASSERT_TRUE(openPanel());
    const QPoint desktop(1240, 880);
    pointerTo(desktop);
    ASSERT_EQ(windowAt(desktop), XCB_NONE) << "a window covers the desktop there";
    const int outside = logCount("painel fechado: clique fora");
    xdotool({"click", "1"});
    EXPECT_TRUE(closedFor("clique fora", outside));
}

}  // namespace
}  // namespace velmora::live
