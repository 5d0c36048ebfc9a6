#pragma once

// The application as the program builds it (its composition root with every real platform layer), in this
// test's process on the desktop of live_desktop.h, and the hands and eyes of a user over its widgets.

#include <QAbstractButton>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "app/entry/application_root.h"
#include "app/model/app_model.h"

class QWidget;

namespace velmora {

class MainThreadExecutor;
class PanelWindow;
class StatusItem;
class QtPairingPrompt;

namespace live {

constexpr double kBound = 120;  // seconds; loaded machines are slow, a passing run waits far less

// Runs the event loop until `done` holds or `seconds` pass; true when it held. A modal dialog opened
// meanwhile runs its own loop, so a step meant for it goes through whenShown().
bool until(const std::function<bool()>& done, double seconds = kBound);

// Runs `step` on the first turn of any event loop (a modal dialog's too) at which `ready` holds. The step
// runs once; dropping the handle cancels it.
std::shared_ptr<void> whenShown(std::function<bool()> ready, std::function<void()> step);

// A click at the middle of `w`, as the pointer gives it.
void click(QWidget* w);
// Types `text` into `w` key by key, as a keyboard with those characters would.
void type(QWidget* w, const QString& text);
// The visible widget of type T under `root` whose text or accessible name is `text`; null when none.
QAbstractButton* findButton(QWidget* root, const QString& text);
QWidget* findVisible(QWidget* root, const char* className);
// The top-level window with that object name, shown; null when none.
QWidget* topWindow(const QString& objectName);
// A text of the string tables.
QString tr(const char* key);

// Writes `w` as build/artifacts/live/<story>-<step>.png.
void shot(QWidget* w, const std::string& story, const std::string& step);

class LiveApp {
  public:
    struct Options {
        // The pairing dialog's answer pressed for the user (the developer switch's path); none: the test
        // answers the dialog itself.
        std::optional<bool> pairingAnswer = true;
        // A system tray stands on the desktop: the panel is its popup, opened by a click on the icon.
        bool tray = false;
    };
    explicit LiveApp(Options options);
    LiveApp() : LiveApp(Options{}) {}
    ~LiveApp();  // quits as the program does: the model shuts down, then the widgets go

    AppModel& model() const { return *root_->model(); }
    PanelWindow& panel() const;
    StatusItem& item() const;
    ConnState::Kind kind() const { return model().state().state.kind(); }
    bool connected() const { return kind() == ConnState::Kind::connected; }
    // Opens the preferences fold (when shut), types `address` in its field and presses Connect.
    void connectTo(const std::string& address);
    // Whether the program's log has a line holding `text`.
    bool logHas(const std::string& text) const;
    // Quits now (the panel's Quit ends the event loop the same way); the model's work is done on return.
    void quit();

  private:
    std::shared_ptr<MainThreadExecutor> main_;
    std::shared_ptr<QtPairingPrompt> prompt_;
    std::unique_ptr<ApplicationRoot> root_;
};

}  // namespace live
}  // namespace velmora
