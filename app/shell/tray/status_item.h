#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "app/shell/tray/panel_window.h"
#include "platform/tray_host/tray_host.h"

class QSystemTrayIcon;

namespace velmora {

class ModelAdapter;
class Settings;

// The application's presence on the desktop: the tray icon, in its connected or unconnected form with a
// tooltip naming the phone, and the panel it opens. A click shows the panel under the icon (at the point a
// StatusNotifierItem host sent with the click, else the pointer, when the tray tells no geometry) or hides
// it; a click within 0.25 s of a hide, which is the same click that closed the panel as its press took the
// panel's keyboard, leaves it hidden. Without a tray the panel is a normal window, shown at once.
//
// Main thread only. `now` is a monotonic clock in seconds.
class StatusItem : public QObject {
    Q_OBJECT
  public:
    StatusItem(ModelAdapter& model, bool trayAvailable, std::function<double()> now,
               std::shared_ptr<Settings> settings = nullptr);
    ~StatusItem() override;

    bool hasTray() const { return tray_ != nullptr; }
    PanelWindow& panel() { return *panel_; }
    QSystemTrayIcon* tray() const { return tray_; }
    // The icon's click.
    void click();

  private:
    void updateLabel();
    void learnTray();
    QRect anchor(const std::optional<PanelGeometry::Point>& activation) const;

    ModelAdapter& model_;
    std::function<double()> now_;
    QSystemTrayIcon* tray_ = nullptr;
    std::unique_ptr<PanelWindow> panel_;
    double lastHidden_ = -1e9;  // long ago
    bool connected_ = false;
    TrayHost host_;  // what the tray told when last asked
};

}  // namespace velmora
