#pragma once

#include <QObject>
#include <cstdint>

class QDBusConnection;
class QDBusMessage;
class QDBusPendingCallWatcher;

namespace velmora {

// What the desktop says it prefers; `none` also while it has not said anything yet.
enum class ColorSchemePreference : std::uint8_t { none, light, dark };

// The portal's "color-scheme" value: 1 prefers dark, 2 prefers light, 0 (or anything else) has no preference.
ColorSchemePreference colorSchemeFromPortal(std::uint32_t value);

// The desktop's light-or-dark setting, read from the freedesktop settings portal over D-Bus (Qt 6.4 has no
// colour-scheme API) and followed through its change signal. Only reports; what the application makes of it
// is the design kit's business. Main thread only: created and read there, and every answer and change
// arrives there through the event loop. Never waits for the portal.
class DesktopColorScheme : public QObject {
    Q_OBJECT
  public:
    explicit DesktopColorScheme(QObject* parent);

    // Subscribes to the portal's changes on `bus` and asks for its current value; the answer arrives later.
    // Nothing on a bus that is not connected.
    void follow(const QDBusConnection& bus);
    // follow() on the session bus from the next turn of the event loop, so that not even opening the bus
    // happens inside the caller (which may be painting).
    void followSessionBusLater();

    // The latest answer: the first read's reply or a later change, whichever came last.
    ColorSchemePreference preference() const { return preference_; }

  signals:
    void changed();

  private slots:
    // The signal's arguments (group, key, value) are read from the message: QtDBus will not connect a slot
    // that takes a QDBusVariant.
    void onPortalSettingChanged(const QDBusMessage& message);
    void onReadFinished(QDBusPendingCallWatcher* watcher);

  private:
    void setPreference(ColorSchemePreference value);

    ColorSchemePreference preference_ = ColorSchemePreference::none;
};

}  // namespace velmora
