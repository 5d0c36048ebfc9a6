#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "core/posix/unique_fd.h"

// An LE credit-based L2CAP channel as a kernel socket (AF_BLUETOOTH, SOCK_SEQPACKET, BTPROTO_L2CAP). Any
// thread; nothing here blocks.
namespace velmora::LeL2cap {

// BlueZ's Device1.AddressType: "public" or "random".
enum class AddressType : std::uint8_t { le_public = 1, le_random = 2 };  // BDADDR_LE_PUBLIC, BDADDR_LE_RANDOM

std::optional<AddressType> parseAddressType(std::string_view text);
// "AA:BB:CC:DD:EE:FF" in the kernel's byte order (least significant first).
std::optional<std::array<std::uint8_t, 6>> parseAddress(std::string_view text);

// A non-blocking socket whose connect to `psm` on the peer has been started; the L2CAP pump sees it
// complete. Throws NetError::posix when the socket cannot be made (no Bluetooth in this kernel) or the
// connect fails at once (no adapter), std::invalid_argument for a malformed address.
UniqueFd startConnect(std::string_view address, AddressType type, std::uint16_t psm);

// The channel's send and receive MTUs once connected; 0 for one the kernel does not tell.
std::pair<std::size_t, std::size_t> mtus(int socket);

}  // namespace velmora::LeL2cap
