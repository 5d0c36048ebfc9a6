#include "live/live_tray.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <cstdlib>

#include "app/shell/tray/panel_window.h"
#include "app/shell/tray/status_item.h"
#include "live/live_app.h"
#include "platform/tray_host/x11_focus.h"
#include "support/temp_dir.h"

namespace velmora::live {

namespace {

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

}  // namespace

void xdotool(const QStringList& args) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    ASSERT_FALSE(tool.isEmpty()) << "xdotool is not installed (deps/apt/shell.txt)";
    ASSERT_EQ(QProcess::execute(tool, args), 0) << args.join(' ').toStdString();
}

void pointerTo(const QPoint& at) {
    xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())});
}

xcb_window_t windowAt(const QPoint& at) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* r = xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
    const xcb_window_t child = r && r->root_x == at.x() && r->root_y == at.y() ? r->child : root;
    std::free(r);
    xcb_disconnect(c);
    return child;
}

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

int logCount(const std::string& text) {
    const std::string log = test::readFile(Desktop::instance().home() / "state" / "Velmora" / "velmora.log");
    int n = 0;
    for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

TrayDesktop::TrayDesktop() {
    wm_ = std::make_unique<Child>(std::vector<std::string>{"openbox", "--sm-disable"});
    if (!until(windowManagerRuns)) {
        problem_ = "openbox did not start (deps/apt/app.txt)";
        return;
    }
    // Qt hears a tray that starts after it by the tray's announcement, and then makes its icon's window
    // afresh: an icon made before Qt heard it would be docked and then lost. Heard first, it is not. (The
    // platform's native interface is a QObject, the first and only base of its class.)
    QSignalSpy announced(reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface()),
                         SIGNAL(systemTrayWindowChanged(QScreen*)));
    tray_ = std::make_unique<test::TestTrayHost>(QColor(0x2b, 0x2b, 0x2b), QColor(Qt::white));
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !until([&] { return announced.count() > 0; })) {
        problem_ = "Qt did not hear the tray";
        return;
    }
    QObject::connect(&pump_, &QTimer::timeout, [this] { tray_->pump(); });
    pump_.start(10);
}

TrayDesktop::~TrayDesktop() {
    pump_.stop();
}

bool TrayDesktop::docks(LiveApp& app) {
    if (!until([&] { return tray_->docked() && app.item().tray()->geometry().isValid(); })) return false;
    icon_ = tray_->iconArea().center();  // the tray's window sits at the screen's origin
    return true;
}

void TrayDesktop::clickIcon() {
    pointerTo(icon_ + QPoint(++clicks_ % 2 ? 6 : -6, 0));
    xdotool({"click", "1"});
}

bool TrayDesktop::openPanel(PanelWindow& panel) {
    const auto holdsKeyboard = [&] {
        return panel.isVisible() && x11::inputFocus() == std::uint32_t(panel.internalWinId());
    };
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int ignored = logCount("clique no ícone ignorado");
        clickIcon();
        if (!until([&] { return holdsKeyboard() || logCount("clique no ícone ignorado") > ignored; }))
            return false;
        if (holdsKeyboard()) return true;
    }
    return false;
}

bool TrayDesktop::closedFor(PanelWindow& panel, const std::string& why, int before) {
    return until([&] { return !panel.isVisible() && logCount("painel fechado: " + why) > before; });
}

void TrayDesktop::screenShot(const std::string& story, const std::string& step) {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/live");
    QDir().mkpath(dir);
    tray_->grabScreen(QRect(0, 0, 1280, 900))
        .save(dir + "/" + QString::fromStdString(story + "-" + step) + ".png");
}

}  // namespace velmora::live
