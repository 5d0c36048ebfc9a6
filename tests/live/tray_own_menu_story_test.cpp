// The panel's own menu, on a desktop with a tray and a window manager, clicked with the X server's own
// pointer: the footer's Diagnostics menu opens over and below the open panel, a window of its own; choosing
// "Copy diagnostics" there keeps the panel open, which then shows the copy's notice while the report is on
// the clipboard. A click on the bare desktop with the menu open closes the menu and the panel together.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include "app/design/notice.h"
#include "app/design/text_block.h"
#include "app/model/app_version.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/panel/panel_controls.h"
#include "app/shell/panel/panel_footer.h"
#include "app/shell/tray/panel_window.h"
#include "live/live_app.h"
#include "live/live_tray.h"
#include "platform/tray_host/x11_press_watch.h"

namespace velmora::live {
namespace {

QPoint centreOf(QWidget* w) {
    return w->mapToGlobal(w->rect().center());
}

// Whether the panel shows a notice titled `title`.
bool showsNotice(QWidget* panel, const QString& title) {
    const auto notices = panel->findChildren<Notice*>();
    return std::any_of(notices.begin(), notices.end(),
                       [&](const Notice* n) { return n->isVisible() && n->titleBlock()->text() == title; });
}

TEST(TrayOwnMenuStory, OwnMenuChoiceKeepsThePanelOpenAndADesktopClickClosesMenuAndPanel) {
    TrayDesktop desktop;
    ASSERT_EQ(desktop.problem(), "");
    LiveApp app({.pairingAnswer = true, .tray = true});
    PanelWindow& panel = app.panel();
    ASSERT_EQ(panel.mode(), PanelWindow::Mode::popup);
    ASSERT_TRUE(desktop.docks(app));
    PanelFooter* footer = panel.content().footer();
    QMenu* menu = footer->diagnosticsMenu();
    QAction* copy = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == tr("common.copy_diagnostics")) copy = a;
    ASSERT_NE(copy, nullptr);
    QGuiApplication::clipboard()->setText(QStringLiteral("antes"));

    // The footer's button opens its menu, a window of its own below the panel's bottom edge.
    ASSERT_TRUE(desktop.openPanel(panel));
    // Where a person sees it: the panel has grown to its content (the permissions come after the first
    // showing).
    ASSERT_TRUE(until([&] { return panel.frameGeometry().contains(centreOf(footer->diagnosticsButton())); }));
    pointerTo(centreOf(footer->diagnosticsButton()));
    xdotool({"click", "1"});
    ASSERT_TRUE(until([&] { return menu->isVisible(); }));
    desktop.screenShot("tray-own-menu", "1-menu-open");

    // Its item: the menu goes, the panel stays and shows the copy's notice; the report is on the clipboard.
    const int outside = logCount("painel fechado:");
    const QRect item = copy->isEnabled() ? menu->actionGeometry(copy) : QRect();
    ASSERT_TRUE(item.isValid());
    const QPoint onItem = menu->mapToGlobal(item.center());
    ASSERT_FALSE(panel.frameGeometry().contains(onItem)) << "the item lies over the panel";
    pointerTo(onItem);
    xdotool({"click", "1"});
    ASSERT_TRUE(until([&] { return !menu->isVisible(); }));
    const QString copied = tr("panel.notice.diag_copied.title");
    ASSERT_TRUE(until([&] { return showsNotice(&panel, copied); }));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(
        QString::fromStdString("Velmora " + AppVersion::version())))
        << QGuiApplication::clipboard()->text().toStdString();
    // Whatever the program still had to hear of that click has come by the time a second, later turn of the
    // pointer arrives: a release it heard late would have closed the panel by now.
    pointerTo(centreOf(&panel));
    ASSERT_TRUE(until([&] { return panel.underMouse(); }));
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(logCount("painel fechado:"), outside);
    EXPECT_TRUE(showsNotice(&panel, copied));
    desktop.screenShot("tray-own-menu", "2-copied");

    // With the menu open again, a click on the bare desktop closes the menu and the panel.
    pointerTo(centreOf(footer->diagnosticsButton()));
    xdotool({"click", "1"});
    ASSERT_TRUE(until([&] { return menu->isVisible(); }));
    const QPoint bare(1240, 880);
    pointerTo(bare);
    ASSERT_EQ(windowAt(bare), XCB_NONE) << "a window covers the desktop there";
    const int outsideBefore = logCount("painel fechado: clique fora");
    xdotool({"click", "1"});
    EXPECT_TRUE(desktop.closedFor(panel, "clique fora", outsideBefore));
    EXPECT_FALSE(menu->isVisible());
    desktop.screenShot("tray-own-menu", "3-closed");
}

// The presses are heard on the display the program's windows live on, whatever DISPLAY said when the panel
// opened (a program started with its own display, a variable changed since).
TEST(TrayOwnMenuStory, PressesAreHeardOnTheProgramsOwnDisplay) {
    const QByteArray display = qgetenv("DISPLAY");
    std::vector<bool> heard;
    qputenv("DISPLAY", ":4242");
    const auto watch = std::make_unique<x11::PressWatch>([&](bool down) { heard.push_back(down); });
    qputenv("DISPLAY", display);
    ASSERT_EQ(watch->hearing(), x11::PressWatch::Hearing::presses);
    pointerTo(QPoint(600, 500));
    xdotool({"click", "1"});
    EXPECT_TRUE(until([&] { return heard.size() >= 2; }));
    EXPECT_EQ(heard, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace velmora::live
