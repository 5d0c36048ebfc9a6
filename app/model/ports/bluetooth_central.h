#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// One phone seen over Bluetooth LE: its identifiers (addresses in upper case), the device-id prefix of its
// advertisement and its pairing flag.
struct BlePhone {
    std::string id;
    std::string name;
    std::optional<std::string> devicePrefix;
    std::optional<bool> pairFlag;
    std::vector<std::string> alternates;
};

// The computer's Bluetooth LE central: scanning, and the radio's state. Handlers run on the model's main
// executor (the implementation hops there).
class BluetoothCentral {
  public:
    struct Handlers {
        std::function<void(int state)> onState;  // 5 = powered on
        std::function<void(std::vector<BlePhone>)> onPhones;
    };

    virtual ~BluetoothCentral() = default;
    virtual void setHandlers(Handlers handlers) = 0;
    virtual void start() = 0;
    virtual void pause() = 0;
};

}  // namespace velmora
