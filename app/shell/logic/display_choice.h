#pragma once

#include <QString>
#include <string>

namespace velmora {

// What the process finds about the displays it could draw on, before Qt exists.
struct DisplayFacts {
    std::string requested;       // QT_QPA_PLATFORM as set ("" when not), possibly a ';' list
    bool x11 = false;            // DISPLAY names an X server that can be reached
    bool wayland = false;        // WAYLAND_DISPLAY names a compositor socket that exists
    bool xcbPlugin = false;      // Qt's xcb platform plugin is installed
    bool waylandPlugin = false;  // Qt's Wayland platform plugin is installed
};

// How the application starts its GUI.
struct DisplayChoice {
    enum class Kind {
        asIs,  // Qt picks (or the user's QT_QPA_PLATFORM holds); a `note`, when any, is logged
        xcb,   // QT_QPA_PLATFORM=xcb is set for this process, and `note` is logged
        none,  // no display can be used: `note` is the one line the program ends with, in the user's language
    };
    Kind kind = Kind::asIs;
    std::string note;
    bool operator==(const DisplayChoice&) const = default;
};

// Under a Wayland compositor that also runs Xwayland, Qt would take its Wayland plugin where installed, and
// there a client sees and takes the clipboard only while one of its windows has the keyboard: the phone
// would miss copies made elsewhere and the desktop would drop the phone's text. Through Xwayland the
// clipboard works without focus, so the application runs there and says so. With no usable display at all
// Qt would abort; the program ends with one line instead. A platform the user asked for is kept when it can
// start; when it cannot, that is said too.
DisplayChoice chooseDisplay(const DisplayFacts& facts);

// Whether a process drawing on Qt's platform `platformName` does so through the X server of a Wayland
// compositor (Xwayland): xcb, in a session with WAYLAND_DISPLAY set or of type "wayland". There the
// compositor, not an X window manager, decides focus and stacking.
bool onXwayland(const QString& platformName);

}  // namespace velmora
