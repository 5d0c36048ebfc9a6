#pragma once

#include <QColor>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <cstdint>
#include <optional>

class QDBusMessage;

namespace velmora {

// The two looks every colour of the application knows. Any other value counts as light.
enum class Appearance { light, dark };

// The portal's "color-scheme" value: 1 prefers dark, 2 prefers light, 0 (or anything else) has no preference.
std::optional<Appearance> appearanceFromColorScheme(std::uint32_t value);

// Without a portal answer: a dark window background means a dark desktop.
Appearance appearanceFromWindowColor(const QColor& window);

// Says whether the desktop is light or dark, and tells when that changes.
// Main thread only: it is created, read and overridden there, and the portal's change signal arrives there.
// Qt 6.4 has no colour-scheme API, so the freedesktop settings portal is asked over the session bus; a
// desktop without the portal (or without a bus, as offscreen) falls back to the palette's window colour.
class AppearanceSource : public QObject {
    Q_OBJECT
  public:
    // The one source of the process, on the session bus; needs a QGuiApplication, whose child it becomes.
    static AppearanceSource& instance();

    // A source that asks the portal on `bus` (tests give a private bus).
    AppearanceSource(const QDBusConnection& bus, QObject* parent);

    Appearance current() const;

    // Forces one look (tests, the snapshot tool); nullopt returns to the desktop's answer.
    void setOverride(std::optional<Appearance> forced);

  signals:
    void changed();

  private slots:
    // The signal's arguments (group, key, value) are read from the message: QtDBus will not connect a slot
    // that takes a QDBusVariant.
    void onPortalSettingChanged(const QDBusMessage& message);

  private:
    void readPortal();
    void setPortal(std::optional<Appearance> value);

    QDBusConnection bus_;
    std::optional<Appearance> forced_;
    std::optional<Appearance> portal_;
};

}  // namespace velmora
