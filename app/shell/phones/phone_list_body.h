#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "app/shell/phones/list_rules.h"

class QVBoxLayout;

namespace velmora {

class PhoneListActions;

// The panel's body while no phone is connected: the empty, found, connecting, lost, Bluetooth-off and
// local-network bodies, drawn from PhoneListValues. present() rebuilds only what changed: a body of the same
// kind keeps its install section (and so its open flag) unless the adb fact changed; a new kind starts
// afresh. Every press goes to the actions. Main thread only.
class PhoneListBody : public QWidget {
    Q_OBJECT
  public:
    // Builds the install section that heads four of the bodies, given whether adb is missing; the body owns
    // what it returns.
    using InstallSectionFactory = std::function<QWidget*(bool adbMissing)>;

    PhoneListBody(PhoneListActions& actions, InstallSectionFactory installSection, QWidget* parent = nullptr);
    void present(const PhoneListValues& values);
    const std::optional<PhoneListValues>& shown() const { return shown_; }
    QWidget* installSection() const { return install_; }

  private:
    QWidget* build(const PhoneListValues& v);
    QWidget* emptyBody(const PhoneListValues& v);
    QWidget* foundBody(const FoundView& found);
    QWidget* connectingBody(const std::string& label);
    QWidget* lostBody(const std::string& name);
    QWidget* bluetoothOffBody();
    QWidget* localDeniedBody();
    QWidget* phoneSection(const std::string& caption, const std::vector<PhoneRowView>& rows);
    QWidget* searchAgainButton(const std::string& label);

    PhoneListActions& actions_;
    InstallSectionFactory makeInstall_;
    QVBoxLayout* layout_;
    QWidget* install_ = nullptr;
    QWidget* content_ = nullptr;
    std::optional<PhoneListValues> shown_;
};

}  // namespace velmora
