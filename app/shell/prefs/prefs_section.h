#pragma once

#include <QWidget>
#include <array>

#include "app/shell/prefs/logic/prefs_rules.h"
#include "app/shell/prefs/prefs_actions.h"

class QLineEdit;
class QVBoxLayout;

namespace velmora {

class ConnectionPrefsView;
class NotifPrefsView;
class StyledButton;
class SwitchRow;
class TextBlock;

// The fold row's summary: kinds switched on, apps shown.
QString prefsSummary(const PrefsValues& values);

// The content of the open preferences fold: connection order, notification filter, the five switches, the
// paired phones with a two-step forget, a typed address and the speed test. It keeps only the typed address
// and which phone's forget waits for confirmation; everything else it reads from `actions` after each change
// and whenever refresh() is called (the model's change signal). Main thread only.
class PrefsSection : public QWidget {
    Q_OBJECT
  public:
    explicit PrefsSection(PrefsActions& actions, QWidget* parent = nullptr);
    void refresh();

    ConnectionPrefsView* connections() const { return connections_; }
    NotifPrefsView* notifications() const { return notifications_; }
    SwitchRow* switchRow(Preference which) const { return switches_[static_cast<std::size_t>(which)]; }
    QWidget* pairedList() const { return paired_; }
    QLineEdit* addressField() const { return address_; }
    StyledButton* benchButton() const { return bench_; }

  private:
    void rebuildPaired();
    // One phone's line of the paired list, or its forget confirmation; `focusable` is set to the control
    // that takes the focus when the line is rebuilt around it (Forget, or the confirmation's Cancel).
    QWidget* pairedEntry(const Peer& peer, QWidget*& focusable);

    PrefsActions& actions_;
    PrefsValues values_;
    prefs::ForgetConfirmation forgetting_;
    ConnectionPrefsView* connections_;
    NotifPrefsView* notifications_;
    std::array<SwitchRow*, kAllPreferences.size()> switches_{};
    QWidget* paired_;
    QVBoxLayout* pairedColumn_;
    QWidget* pairedCard_ = nullptr;
    QLineEdit* address_;
    StyledButton* bench_;
    TextBlock* benchText_;
};

}  // namespace velmora
