#pragma once

#include <QColor>
#include <optional>

namespace velmora {

// Which kind of tray the icon lands in, as Qt picks it: a StatusNotifierItem host on the session bus when one
// is registered, else an X11 system tray, and what that tray tells of its text colour.
struct TrayHost {
    enum class Kind { statusNotifier, x11, none };
    Kind kind = Kind::none;
    std::optional<QColor> textColor;  // the X11 tray's normal colour, when it sets one
};

// Asks the session bus and the X server; main thread only. The bus question is asked only of a watcher that
// already runs, so a desktop without one answers at once.
TrayHost probeTrayHost();

}  // namespace velmora
