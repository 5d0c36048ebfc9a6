#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

// The symbolic name of an errno value ("ECONNREFUSED"), or "errno N" for a number the C library does not
// name.
std::string errnoName(int code);

// A failure of a network operation, classified the way the user texts need it: POSIX (the errno of a socket
// call), DNS (a getaddrinfo code, EAI_*), TLS, Avahi (an AVAHI_ERR_* code of the DNS-SD browser, negative),
// or anything else. Thrown by the TCP transport and the phone search.
class NetError : public std::runtime_error {
  public:
    enum class Kind : std::uint8_t { posix, dns, tls, avahi, other };

    // The Avahi code for a client the daemon's D-Bus policy turns away: this machine does not let
    // Velmora search the local network.
    static constexpr int avahiAccessDenied = -20;  // AVAHI_ERR_ACCESS_DENIED

    NetError(Kind kind, int code);
    static NetError posix(int code) { return {Kind::posix, code}; }
    static NetError dns(int eaiCode) { return {Kind::dns, eaiCode}; }
    static NetError avahi(int code) { return {Kind::avahi, code}; }

    Kind kind() const { return kind_; }
    int code() const { return code_; }

  private:
    Kind kind_;
    int code_;
};

// A bare POSIX error value from a system call outside the network layer (files, processes).
class PosixError : public std::runtime_error {
  public:
    explicit PosixError(int code);
    int code() const { return code_; }

  private:
    int code_;
};

}  // namespace velmora
