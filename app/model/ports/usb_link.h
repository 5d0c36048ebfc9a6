#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/discovered_phone.h"

namespace velmora {

// The phones on a USB cable, reached through adb port forwards (app/links/UsbBridge in the application).
// Main thread, except onChange, which may run on any thread; the model hops to its main executor.
class UsbLink {
  public:
    virtual ~UsbLink() = default;
    virtual void setOnChange(std::function<void(std::vector<DiscoveredPhone>)> handler) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    // Removes the port forwards this program created; blocks on adb (shutdown only).
    virtual void removeCreatedForwards() = 0;
    // The adb the cable port located; absent when none was found (the companion-app installer runs the same).
    virtual std::optional<std::string> adbPath() const { return std::nullopt; }
};

}  // namespace velmora
