#pragma once

#include <QWidget>
#include <memory>

#include "app/shell/logic/panel_geometry.h"

namespace velmora {

class MenuPanel;
class ModelAdapter;
class ModelPhoneActions;
class ModelPrefsActions;
class PermissionsFold;
class PrefsSection;
class Settings;
namespace x11 {
class FocusLossWatch;
}

// The panel that drops down from the tray icon: a frameless popup with its own rounded background, 360
// wide, that hides on a click outside it, on Escape and when the keyboard goes to another window (on an X
// server, the server's input focus tells, not Qt's account of the active window), and follows its content's
// size while staying by the icon (its top edge still under a tray at the top, its bottom edge above one at
// the bottom). Under Xwayland it is a frameless dialog kept above the others instead of a popup: the
// compositor gives an X popup (an override-redirect window) neither the keyboard nor focus changes, so it
// would see no Escape and no click elsewhere, while a managed window is activated and hears its focus loss.
// Where the desktop has no tray it is a normal window instead, so the application stays usable. Its content
// is the MenuPanel, refreshed whenever the model publishes a change. Main thread only.
class PanelWindow : public QWidget {
    Q_OBJECT
  public:
    enum class Mode { popup, window };
    static constexpr int panelWidth = 360;
    static constexpr double cornerRadius = 14;

    // `settings` keeps the panel's own choices ("prefsOpen") and tells the known cable phones; without it
    // they last as long as the window.
    PanelWindow(ModelAdapter& model, Mode mode, std::shared_ptr<Settings> settings = nullptr);
    ~PanelWindow() override;

    Mode mode() const { return mode_; }
    // The size the content asks for.
    QSize contentSize() const;
    MenuPanel& content() const { return *content_; }
    PrefsSection& prefs() const { return *prefs_; }
    PermissionsFold& permissions() const { return *perms_; }
    // Places the panel for the tray icon at `anchor` (see PanelGeometry::place) from the size its content
    // settles at, on the screen holding the icon, and shows it.
    void showAt(const QRect& anchor);
    // The window form's first showing: at its settled size, centred on the screen with its frame.
    void showAsWindow();

  signals:
    void hidden();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void hostSections();
    void settle();
    void dismiss(const char* why);
    void keyboardLost();
    std::optional<Box> freeArea(const QScreen* screen) const;
    void refreshSections();

    ModelAdapter& model_;
    const Mode mode_;
    std::shared_ptr<Settings> settings_;
    std::unique_ptr<ModelPhoneActions> phoneActions_;
    std::unique_ptr<ModelPrefsActions> prefsActions_;
    MenuPanel* content_;
    PrefsSection* prefs_ = nullptr;
    PermissionsFold* perms_ = nullptr;
    bool wasActive_ = false;
    bool keyboardHeld_ = false;  // the X server gave the shown panel the keyboard (a FocusIn came)
    bool measured_ = false;      // shown once off screen, so its widgets count in its layouts
    bool measuring_ = false;
    bool dismissing_ = false;
    bool heightKept_ = false;    // the window form, shown: its height stays, the content scrolls
    std::optional<Box> anchor_;  // the icon the shown popup belongs to
    std::optional<Box> screen_;  // the free area of that icon's screen
    std::unique_ptr<x11::FocusLossWatch> focusWatch_;  // the X server's word that the keyboard left
};

}  // namespace velmora
