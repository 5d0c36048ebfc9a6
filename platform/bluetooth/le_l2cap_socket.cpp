#include "platform/bluetooth/le_l2cap_socket.h"

#include <endian.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/errors/net_error.h"

namespace velmora::LeL2cap {
namespace {

// From the kernel's Bluetooth socket interface.
constexpr int afBluetooth = 31;  // AF_BLUETOOTH
constexpr int btprotoL2cap = 0;
constexpr int solBluetooth = 274;
constexpr int btSndMtu = 12, btRcvMtu = 13;

struct SockaddrL2 {
    sa_family_t family;
    std::uint16_t psm;  // little-endian
    std::uint8_t address[6];
    std::uint16_t cid;
    std::uint8_t addressType;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<AddressType> parseAddressType(std::string_view text) {
    if (text == "public") return AddressType::le_public;
    if (text == "random") return AddressType::le_random;
    return std::nullopt;
}

std::optional<std::array<std::uint8_t, 6>> parseAddress(std::string_view text) {
    if (text.size() != 17) return std::nullopt;
    std::array<std::uint8_t, 6> out{};
    for (std::size_t i = 0; i < 6; ++i) {
        const int hi = hexDigit(text[i * 3]), lo = hexDigit(text[i * 3 + 1]);
        if (hi < 0 || lo < 0 || (i < 5 && text[i * 3 + 2] != ':')) return std::nullopt;
        out[5 - i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return out;
}

UniqueFd startConnect(std::string_view address, AddressType type, std::uint16_t psm) {
    const auto bytes = parseAddress(address);
    if (!bytes) throw std::invalid_argument("endereço Bluetooth inválido");
    UniqueFd socket(::socket(afBluetooth, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, btprotoL2cap));
    if (!socket.valid()) throw NetError::posix(errno);
    SockaddrL2 local{};
    local.family = afBluetooth;
    local.addressType = static_cast<std::uint8_t>(AddressType::le_public);  // any adapter, over LE
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        throw NetError::posix(errno);
    SockaddrL2 peer{};
    peer.family = afBluetooth;
    peer.psm = htole16(psm);
    std::memcpy(peer.address, bytes->data(), 6);
    peer.addressType = static_cast<std::uint8_t>(type);
    if (::connect(socket.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0 &&
        errno != EINPROGRESS) {
        throw NetError::posix(errno);
    }
    return socket;
}

std::pair<std::size_t, std::size_t> mtus(int socket) {
    std::uint16_t send = 0, receive = 0;
    socklen_t size = sizeof send;
    if (::getsockopt(socket, solBluetooth, btSndMtu, &send, &size) != 0) send = 0;
    size = sizeof receive;
    if (::getsockopt(socket, solBluetooth, btRcvMtu, &receive, &size) != 0) receive = 0;
    return {send, receive};
}

}  // namespace velmora::LeL2cap
