#pragma once

#include <xcb/xcb.h>

#include <QColor>
#include <QImage>
#include <optional>
#include <string>

namespace velmora::test {

// A system tray as a desktop panel runs it, small enough for a test: it owns "_NET_SYSTEM_TRAY_S0", tells its
// colours when given some, paints its window in `background` and docks the icon that asked last, 22 × 22 at
// its centre. It speaks over its own X connection; `pump` handles what arrived. Main thread only.
class TestTrayHost {
  public:
    static constexpr int width = 120;
    static constexpr int height = 40;
    static constexpr int iconSide = 22;

    TestTrayHost(QColor background, std::optional<QColor> text);
    ~TestTrayHost();
    TestTrayHost(const TestTrayHost&) = delete;
    TestTrayHost& operator=(const TestTrayHost&) = delete;

    void pump();
    bool docked() const { return icon_ != XCB_NONE; }
    // What the screen shows of the tray window; of `area` of the whole screen.
    QImage grab();
    QImage grabScreen(const QRect& area);
    // Paints the desktop behind every window in `color`.
    void paintDesktop(QColor color);
    QRect iconArea() const;
    std::string describeIcon();

  private:
    xcb_atom_t atom(const char* name);

    xcb_connection_t* c_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    xcb_window_t window_ = XCB_NONE;
    xcb_window_t icon_ = XCB_NONE;
    xcb_atom_t opcode_ = XCB_ATOM_NONE;
};

}  // namespace velmora::test
