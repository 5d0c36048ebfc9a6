// The tray's panel and the keyboard on a bare X server, where the test plays the other clients (no window
// manager), in both of the panel's forms: the frameless dialog it is under Xwayland and the unmanaged window
// of X11 trays. The server's input focus decides its closing: Qt telling the panel it went inactive while the
// server still gives it the keyboard keeps it open (Qt does so when another window of the program left the
// screen just before), the keyboard going to another client's window or to no window at all (what a
// compositor's window manager sets when a Wayland window is activated) closes it at once, unless a pointer
// button is held then (the press may be starting a drag towards the panel): then it closes as the button
// comes up. Escape typed on the keyboard closes it.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QWindow>
#include <cstdlib>
#include <optional>

#include "app/shell/model_adapter.h"
#include "app/shell/tray/panel_window.h"
#include "core/log/velmora_log.h"
#include "platform/tray_host/x11_focus.h"
#include "support/model_harness.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

bool pumpUntil(const std::function<bool()>& done) {
    return test::waitUntil([&] {
        QCoreApplication::processEvents();
        return done();
    });
}

int logCount(const QString& phrase) {
    VelmoraLog::flush();
    QFile f(QString::fromStdString(VelmoraLog::file().string()));
    return f.open(QIODevice::ReadOnly) ? int(QString::fromUtf8(f.readAll()).count(phrase)) : 0;
}

// The server's pointer and keyboard, as a person uses them.
void xdotool(const QStringList& args) {
    QProcess tool;
    tool.start(QStandardPaths::findExecutable("xdotool"), args);
    ASSERT_TRUE(tool.waitForStarted()) << "xdotool is not installed (deps/apt/shell.txt)";
    ASSERT_TRUE(tool.waitForFinished());
}

// Another program on the same X server, with a window of its own.
class OtherClient {
  public:
    OtherClient() : c_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(c_)) return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 700, 500, 80, 60, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(c_, window_);
        sync();
    }
    ~OtherClient() { xcb_disconnect(c_); }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    // The keyboard to this client's window, as a click on it gives it.
    void takeKeyboard() { focus(window_); }
    // The keyboard to no window.
    void focusNowhere() { focus(XCB_NONE); }
    // A FocusOut for `window` though its keyboard stays: what Qt's account of the active window then shows
    // is the same as when another window of the program has just left.
    void sayFocusLeft(std::uint32_t window) {
        xcb_focus_out_event_t out{};
        out.response_type = XCB_FOCUS_OUT;
        out.detail = XCB_NOTIFY_DETAIL_NONLINEAR;
        out.event = window;
        out.mode = XCB_NOTIFY_MODE_NORMAL;
        xcb_send_event(c_, 0, window, XCB_EVENT_MASK_FOCUS_CHANGE, reinterpret_cast<const char*>(&out));
        sync();
    }

  private:
    void focus(xcb_window_t to) {
        xcb_set_input_focus(c_, XCB_INPUT_FOCUS_NONE, to, XCB_CURRENT_TIME);
        sync();
    }
    void sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    xcb_window_t window_ = 0;
};

struct Form {
    const char* name;
    bool xwayland;  // the session is a Wayland one: the panel is a dialog kept above, not a popup
};

class PanelFocus : public ::testing::TestWithParam<Form> {
  protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "no X server";
        other.emplace();
        h.pairBothSides();
        h.start();
        adapter.emplace(h.model);
        // The panel takes its form, and its ways of showing, from the session it runs in.
        session_ = qgetenv("XDG_SESSION_TYPE");
        wayland_ = qgetenv("WAYLAND_DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        qputenv("XDG_SESSION_TYPE", GetParam().xwayland ? "wayland" : "x11");
        panel.emplace(*adapter, PanelWindow::Mode::popup);
        // Never a Qt popup, whose pointer grab would keep every press from the other programs.
        if (GetParam().xwayland) {
            ASSERT_EQ(panel->windowType(), Qt::Dialog);
        } else {
            ASSERT_EQ(panel->windowType(), Qt::Tool);
            ASSERT_TRUE(panel->windowFlags().testFlag(Qt::BypassWindowManagerHint));
        }
    }

    void TearDown() override {
        panel.reset();
        qputenv("XDG_SESSION_TYPE", session_);
        if (!wayland_.isEmpty()) qputenv("WAYLAND_DISPLAY", wayland_);
    }

    std::uint32_t panelWindow() const { return std::uint32_t(panel->internalWinId()); }
    bool holdsKeyboard() const { return x11::inputFocus() == panelWindow(); }

    // Opens the panel and waits until both the server and Qt give it the keyboard. (Qt's count of the
    // active window may stay empty: a window that closed and opened again within 100 ms of a loss never
    // left Qt's keyboard, so Qt reports no change.)
    void open() {
        panel->showAt(QRect(400, 0, 1, 1));
        const bool ok = pumpUntil(
            [&] { return holdsKeyboard() && QGuiApplication::focusWindow() == panel->windowHandle(); });
        ASSERT_TRUE(ok) << GetParam().name << "\n" << h.log();
    }
    bool closedForLoss(int lossesBefore) {
        return pumpUntil([&] { return !panel->isVisible() && logCount("perdeu o foco") > lossesBefore; });
    }

    test::ModelHarness h;
    std::optional<ModelAdapter> adapter;
    std::optional<PanelWindow> panel;
    std::optional<OtherClient> other;
    QByteArray session_, wayland_;
};

TEST_P(PanelFocus, TheServersFocusDecidesWhenThePanelCloses) {
    open();
    int losses = logCount("perdeu o foco");
    // Qt reports the panel inactive though the keyboard never left it: it stays, and says why.
    const int kept = logCount("painel mantido");
    other->sayFocusLeft(panelWindow());
    ASSERT_TRUE(pumpUntil([&] { return QGuiApplication::focusWindow() == nullptr; }));
    ASSERT_TRUE(pumpUntil([&] { return logCount("painel mantido") > kept; }));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(holdsKeyboard());
    EXPECT_EQ(logCount("perdeu o foco"), losses);

    // A click on another program's window: gone at once, though Qt may already count the panel inactive
    // and then has no change of its own to report.
    other->takeKeyboard();
    EXPECT_TRUE(closedForLoss(losses)) << GetParam().name;

    // The keyboard to no window at all, as a compositor sets it for a Wayland window: gone too.
    open();
    losses = logCount("perdeu o foco");
    other->focusNowhere();
    EXPECT_TRUE(closedForLoss(losses)) << GetParam().name;

    // The keyboard leaves while a button of the pointer is held (a press on another program's window that
    // may start a drag): open until the button comes up, then gone.
    open();
    losses = logCount("perdeu o foco");
    const int held = logCount("botão do ponteiro pressionado");
    xdotool({"mousemove", "740", "530"});  // over the other client's window
    xdotool({"mousedown", "1"});
    other->takeKeyboard();
    ASSERT_TRUE(pumpUntil([&] { return logCount("botão do ponteiro pressionado") > held; }));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(logCount("perdeu o foco"), losses);
    xdotool({"mouseup", "1"});
    EXPECT_TRUE(closedForLoss(losses)) << GetParam().name;

    // Escape typed on the keyboard, through the server.
    open();
    losses = logCount("perdeu o foco");
    const int escapes = logCount("painel fechado: Escape");
    xdotool({"key", "Escape"});
    EXPECT_TRUE(
        pumpUntil([&] { return !panel->isVisible() && logCount("painel fechado: Escape") > escapes; }));
    EXPECT_EQ(logCount("perdeu o foco"), losses);
}

INSTANTIATE_TEST_SUITE_P(BothForms, PanelFocus,
                         ::testing::Values(Form{"dialog under Xwayland", true}, Form{"X11 popup", false}),
                         [](const auto& info) { return info.param.xwayland ? "Xwayland" : "X11"; });

// The FocusOut events that mean the keyboard went to another window, by their detail and mode.
TEST(FocusLeaves, ByDetailAndMode) {
    const struct {
        std::uint8_t detail, mode;
        bool leaves;
        const char* why;
    } rows[] = {
        {XCB_NOTIFY_DETAIL_NONLINEAR, XCB_NOTIFY_MODE_NORMAL, true, "to another program's window"},
        {XCB_NOTIFY_DETAIL_ANCESTOR, XCB_NOTIFY_MODE_NORMAL, true, "back to the root as the window unmaps"},
        {XCB_NOTIFY_DETAIL_NONLINEAR_VIRTUAL, XCB_NOTIFY_MODE_NORMAL, true, "from a child to elsewhere"},
        {XCB_NOTIFY_DETAIL_NONLINEAR, XCB_NOTIFY_MODE_WHILE_GRABBED, true, "moved while a grab is on"},
        {XCB_NOTIFY_DETAIL_NONLINEAR, XCB_NOTIFY_MODE_GRAB, false, "a grab starts: the keyboard comes back"},
        {XCB_NOTIFY_DETAIL_NONLINEAR, XCB_NOTIFY_MODE_UNGRAB, false, "a grab ends"},
        {XCB_NOTIFY_DETAIL_INFERIOR, XCB_NOTIFY_MODE_NORMAL, false, "into the window's own child"},
        {XCB_NOTIFY_DETAIL_POINTER, XCB_NOTIFY_MODE_NORMAL, false, "only the pointer's notice"},
        {XCB_NOTIFY_DETAIL_NONLINEAR, 7, false, "a mode the protocol does not have"},
        {9, XCB_NOTIFY_MODE_NORMAL, false, "a detail the protocol does not have"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(x11::focusLeaves(r.detail, r.mode), r.leaves) << r.why;
}

}  // namespace
}  // namespace velmora
