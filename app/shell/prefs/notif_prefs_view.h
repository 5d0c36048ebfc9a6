#pragma once

#include <QLocale>
#include <QWidget>

#include "app/shell/prefs/prefs_actions.h"

class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace velmora {

class SecondaryButton;
class SmallSwitch;
class StyledButton;
class TextBlock;

// The notification filter: the count of apps shown, a search, all on and all off (for the apps listed, or
// the default when the search is blank), and one switch per app. The search text is the view's own and
// lives as long as the view. Main thread only.
class NotifPrefsView : public QWidget {
    Q_OBJECT
  public:
    NotifPrefsView(PrefsActions& actions, std::function<void()> changed, QWidget* parent = nullptr);
    void show(const PrefsValues& values);
    // Collation follows `locale` (the UI's by default).
    void setLocale(const QLocale& locale) { locale_ = locale; }

    QLineEdit* search() const { return search_; }

  private:
    void rebuildList();
    void setShown(bool on);

    PrefsActions& actions_;
    std::function<void()> changed_;
    QLocale locale_;
    PrefsValues values_;
    TextBlock* count_;
    TextBlock* empty_;
    QWidget* controls_;
    QLineEdit* search_;
    QWidget* list_ = nullptr;
    std::vector<std::pair<std::string, SmallSwitch*>> rowSwitches_;  // the listed apps, in list order
    QVBoxLayout* column_;
};

}  // namespace velmora
