#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "core/bytes.h"
#include "core/posix/unique_fd.h"

namespace velmora {

// A peripheral as the Bluetooth stack names it: its address in upper case ("AA:BB:CC:DD:EE:FF"). A phone
// that rotates its private address shows up under several of these.
using BleId = std::string;

// The companion app's GATT service and characteristics.
namespace BleIDs {
inline constexpr std::string_view service = "A7C1E7B0-5C3E-4F4E-9A52-7F0B3D8E1C01";
inline constexpr std::string_view rx = "A7C1E7B1-5C3E-4F4E-9A52-7F0B3D8E1C01";   // we write (GATT pipe)
inline constexpr std::string_view tx = "A7C1E7B2-5C3E-4F4E-9A52-7F0B3D8E1C01";   // the phone notifies
inline constexpr std::string_view psm = "A7C1E7B3-5C3E-4F4E-9A52-7F0B3D8E1C01";  // the phone's L2CAP PSM
}  // namespace BleIDs

// The adapter's state, with the numbers the log and the model use ("5 = ligado").
enum class RadioState : int {
    unknown = 0,
    resetting = 1,
    unsupported = 2,
    unauthorized = 3,
    poweredOff = 4,
    poweredOn = 5
};

// An error the Bluetooth stack reported, with its own description.
class BleError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a peripheral reports back to the link that owns it. Every call arrives on the central's queue.
class BlePeripheralDelegate {
  public:
    virtual ~BlePeripheralDelegate() = default;
    virtual void didDiscoverServices(std::exception_ptr error, bool hasService) = 0;
    virtual void didDiscoverCharacteristics(std::exception_ptr error, bool rx, bool tx, bool psm) = 0;
    // The psm characteristic's value, or an error; an absent value is a read that gave nothing.
    virtual void didReadPsm(std::exception_ptr error, std::optional<Bytes> value) = 0;
    virtual void didNotify(ByteView value) = 0;  // a notification on tx
    // An L2CAP socket whose connect was started (it may still be completing), or an error.
    virtual void didOpenChannel(std::exception_ptr error, UniqueFd socket, std::uint16_t psm) = 0;
    virtual void didUpdateNotificationState(std::exception_ptr error, bool notifying) = 0;
    virtual void isReadyToSendWriteWithoutResponse() = 0;
};

// One peripheral's connection and GATT operations. Every call is made on the central's queue; results come
// back through the delegate, also on that queue.
class BlePeripheral {
  public:
    virtual ~BlePeripheral() = default;
    virtual void setDelegate(std::weak_ptr<BlePeripheralDelegate> delegate) = 0;
    virtual void connect() = 0;           // the central hears connected / failed / disconnected
    virtual void cancelConnection() = 0;  // also stops a pending connect
    virtual void discoverServices() = 0;
    virtual void discoverCharacteristics() = 0;  // rx, tx and psm of the service
    virtual void readPsm() = 0;
    virtual void openL2capChannel(std::uint16_t psm) = 0;
    virtual void enableTxNotifications() = 0;
    virtual std::size_t maximumWriteLength() const = 0;  // for writes without response
    virtual bool canSendWriteWithoutResponse() const = 0;
    virtual void writeRx(ByteView chunk) = 0;  // without response
    // Reads a connected channel's send and receive MTUs (none: the pump keeps its defaults).
    virtual std::function<std::pair<std::size_t, std::size_t>(int socket)> channelMtus() const { return {}; }
};

// The adapter as the central sees it. Calls are made on the central's queue; the radio reports its events
// through BleCentral's radio* entry points.
class BleRadio {
  public:
    virtual ~BleRadio() = default;
    virtual RadioState state() const = 0;
    // Continuous LE scan for the service, every advertisement reported.
    virtual void startScan() = 0;
    virtual void stopScan() = 0;
    // The peripheral for an address that was seen or that the stack still knows; null when neither.
    virtual std::shared_ptr<BlePeripheral> peripheral(const BleId& id) = 0;
};

}  // namespace velmora
