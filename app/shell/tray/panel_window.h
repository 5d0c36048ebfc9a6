#pragma once

#include <QWidget>
#include <memory>

#include "app/shell/logic/panel_geometry.h"

class QTimer;

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
class PressWatch;
}  // namespace x11

// The panel that drops down from the tray icon: a frameless window with its own rounded background, 360
// wide, that follows its content's size while staying by the icon (its top edge still under a tray at the
// top, its bottom edge above one at the bottom). Its content is the MenuPanel, refreshed whenever the model
// publishes a change. Main thread only.
//
// When it closes, in the tray's forms:
// - at once on Escape, on a second click on the icon (StatusItem), and when the keyboard goes to another
//   window, which a click on that window gives it. On an X server the server's input focus tells, not Qt's
//   account of the active window, which lags it and can be wrong for a moment (see keyboardLost).
// - A file dragged from another program must reach the drop area, yet the press that starts the drag gives
//   that program the keyboard. So when the keyboard leaves while a pointer button is held, the panel closes
//   only once no button is held and no drag of files hovers over it: a plain click closes it as the button
//   comes up; a drag keeps it open until it drops on the panel or ends elsewhere, then it closes.
// - A press outside it on something that takes no keyboard (the bare desktop, a panel clock, another tray
//   icon) closes it by the same rule, heard from the X server's raw presses (PressWatch).
// On an X11 desktop it is an unmanaged (override-redirect) window that grabs nothing, not a Qt popup: a popup
// grabs the pointer, and the press meant to start a drag came to the panel, which closed, and never to the
// other program. Under Xwayland it is a frameless dialog kept above the others instead: the compositor gives
// an X unmanaged window neither the keyboard nor focus changes, so it would see no Escape and no click
// elsewhere, while a managed window is activated and hears its focus loss. Where the desktop has no tray it
// is a normal window, so the application stays usable, and closes only as a window does.
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
    void closeOnceFree();
    void pointerButton(bool down);
    // Whether the screen's point `at` lies on the panel or on one of the program's popups.
    bool onOwnWindow(const QPoint& at) const;
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
    // Why the panel closes once no button or drag holds it open: the keyboard left, or a press came outside
    // it.
    const char* closeWhenFree_ = nullptr;
    bool pressedOutside_ = false;  // a pointer button is down that went down outside the panel and its popups
    bool measured_ = false;        // shown once off screen, so its widgets count in its layouts
    bool measuring_ = false;
    bool dismissing_ = false;
    bool heightKept_ = false;    // the window form, shown: its height stays, the content scrolls
    std::optional<Box> anchor_;  // the icon the shown panel belongs to
    std::optional<Box> screen_;  // the free area of that icon's screen
    std::unique_ptr<x11::FocusLossWatch> focusWatch_;  // the X server's word that the keyboard left
    QTimer* buttonWatch_;  // asks after the pointer's buttons while one held down keeps the panel open
    std::unique_ptr<x11::PressWatch> pressWatch_;  // the pointer's presses anywhere, while the panel shows
};

}  // namespace velmora
