#pragma once

#include <QColor>
#include <QObject>
#include <optional>

class QDBusConnection;

namespace velmora {

class DesktopColorScheme;

// The two looks every colour of the application knows. Any other value counts as light.
enum class Appearance { light, dark };

// Without a desktop preference: a dark window background means a dark desktop.
Appearance appearanceFromWindowColor(const QColor& window);

// Which look to paint in, and when that changes: a forced look, else the desktop's preference as the
// platform layer last reported it, else the lightness of the application palette's window colour (also
// until the desktop's first answer arrives). current() reads only values already in memory, so painting
// never waits on the desktop. Main thread only.
class AppearanceSource : public QObject {
    Q_OBJECT
  public:
    // The one source of the process; needs a QGuiApplication, whose child it becomes. It starts following
    // the session bus from the next turn of the event loop.
    static AppearanceSource& instance();

    // A source that follows the desktop's setting on `bus` (tests give a private bus).
    AppearanceSource(const QDBusConnection& bus, QObject* parent);

    Appearance current() const;

    // Forces one look (tests, the snapshot tool); nullopt returns to the desktop's answer.
    void setOverride(std::optional<Appearance> forced);

  signals:
    void changed();

  private:
    explicit AppearanceSource(QObject* parent);

    DesktopColorScheme* desktop_;
    std::optional<Appearance> forced_;
};

}  // namespace velmora
