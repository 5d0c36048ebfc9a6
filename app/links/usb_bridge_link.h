#pragma once

#include <memory>

#include "app/links/usb_bridge.h"
#include "app/model/ports/usb_link.h"

namespace velmora {

// The model's cable port over the adb USB bridge; the composition root builds it. Same threads as the
// bridge.
class UsbBridgeLink final : public UsbLink {
  public:
    explicit UsbBridgeLink(std::unique_ptr<UsbBridge> bridge) : bridge_(std::move(bridge)) {}

    void setOnChange(std::function<void(std::vector<DiscoveredPhone>)> handler) override {
        bridge_->setOnChange(
            [handler = std::move(handler)](const std::vector<DiscoveredPhone>& phones) { handler(phones); });
    }
    void start() override { bridge_->start(); }
    void stop() override { bridge_->stop(); }
    void removeCreatedForwards() override { bridge_->removeCreatedForwards(); }
    std::optional<std::string> adbPath() const override { return bridge_->adbPath(); }

  private:
    std::unique_ptr<UsbBridge> bridge_;
};

}  // namespace velmora
