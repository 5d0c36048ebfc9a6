#pragma once

// A desktop's tray around the live application, as a user has it: a window manager that gives the keyboard
// to the window clicked (openbox), the test tray host with the program's icon docked, and the X server's own
// pointer and keyboard (xdotool). Pictures of the screen go to build/artifacts/live/.

#include <xcb/xcb.h>

#include <QPoint>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <string>

#include "live/live_desktop.h"
#include "tray_look/test_tray_host.h"

namespace velmora {

class PanelWindow;

namespace live {

class LiveApp;

// The X server's pointer and keyboard, as a person moves them; a failure is the test's.
void xdotool(const QStringList& args);
void pointerTo(const QPoint& at);
// The top-level window under the pointer, which must be at `at`: none where only the desktop is, the root
// window where the pointer is elsewhere.
xcb_window_t windowAt(const QPoint& at);
// Where a point of another program's window lies on the screen, wherever the window manager put it.
QPoint onScreen(xcb_window_t window, int x, int y);
// How many lines of the program's log hold `text`.
int logCount(const std::string& text);

class TrayDesktop {
  public:
    // Starts the window manager and the tray; empty `problem()` when both stand. The application is made
    // after it, so that Qt has heard the tray before it makes its icon.
    TrayDesktop();
    ~TrayDesktop();
    TrayDesktop(const TrayDesktop&) = delete;
    TrayDesktop& operator=(const TrayDesktop&) = delete;

    const std::string& problem() const { return problem_; }
    test::TestTrayHost& host() { return *tray_; }

    // Whether the application's icon is docked in the tray, waiting for it.
    bool docks(LiveApp& app);
    // A click on the icon, each a little aside from the one before: two quick ones on one spot would make a
    // double click, which the icon does not take as a click.
    void clickIcon();
    // Clicks the icon until the panel shows and holds the keyboard: a click that comes within 0.25 s of the
    // panel closing is ignored, and comes again.
    bool openPanel(PanelWindow& panel);
    // Whether the panel closes, with the log's reason `why` written more often than `before` times.
    bool closedFor(PanelWindow& panel, const std::string& why, int before);
    // The screen as build/artifacts/live/<story>-<step>.png.
    void screenShot(const std::string& story, const std::string& step);

  private:
    std::string problem_;
    std::unique_ptr<Child> wm_;
    std::unique_ptr<test::TestTrayHost> tray_;
    QTimer pump_;
    QPoint icon_;
    int clicks_ = 0;
};

}  // namespace live
}  // namespace velmora
