#pragma once

#include <functional>
#include <memory>

#include "core/discovery/discovered_phone.h"

namespace velmora {

class AppModel;

// What the user asks for in the phone-list bodies and the permissions fold. The panel implements it; each
// call returns at once and the result comes back through the model's published state. Main thread only.
class PhoneListActions {
  public:
    virtual ~PhoneListActions() = default;
    virtual void connectTo(const DiscoveredPhone& phone) = 0;  // connect, pair, or both
    virtual void cancelConnecting() = 0;
    virtual void searchAgain() = 0;  // search again, try again
    virtual void disconnect() = 0;
    virtual void openBluetoothSettings() = 0;
    virtual void openLocalNetworkSettings() = 0;
    virtual void checkPermissionsAgain() = 0;
    virtual void showInstallSection() = 0;  // unfold the install section's how-to
};

// The actions the model answers itself, forwarded to it; the desktop's settings, the permission probes and
// the install section are the host's, given as functions (none given: nothing happens).
class ModelPhoneActions : public PhoneListActions {
  public:
    explicit ModelPhoneActions(std::weak_ptr<AppModel> model) : model_(std::move(model)) {}

    std::function<void()> onBluetoothSettings, onLocalNetworkSettings, onCheckPermissions, onShowInstall;

    void connectTo(const DiscoveredPhone& phone) override;
    void cancelConnecting() override;
    void searchAgain() override;
    void disconnect() override;
    void openBluetoothSettings() override { run(onBluetoothSettings); }
    void openLocalNetworkSettings() override { run(onLocalNetworkSettings); }
    void checkPermissionsAgain() override { run(onCheckPermissions); }
    void showInstallSection() override { run(onShowInstall); }

  private:
    static void run(const std::function<void()>& f) {
        if (f) f();
    }
    std::weak_ptr<AppModel> model_;  // a press after the model is gone does nothing
};

}  // namespace velmora
