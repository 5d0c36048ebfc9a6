#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

// The symbolic name of an errno value ("ECONNREFUSED"), or "errno N" for a number the C library does not
// name.
std::string errnoName(int code);

// A failure of a network operation, classified the way the user texts need it: POSIX (the errno of a socket
// call), DNS (a getaddrinfo code, EAI_*), TLS, or anything else. Thrown by the TCP transport.
class NetError : public std::runtime_error {
  public:
    enum class Kind : std::uint8_t { posix, dns, tls, other };

    NetError(Kind kind, int code);
    static NetError posix(int code) { return {Kind::posix, code}; }
    static NetError dns(int eaiCode) { return {Kind::dns, eaiCode}; }

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

// An error that arrives as a domain name and a full-width integer code, as reported by layers that speak in
// domains (the POSIX domain, the URL-loading domain). Codes of the URL domain are negative numbers.
class DomainError : public std::runtime_error {
  public:
    static constexpr const char* posixDomain = "posix";
    static constexpr const char* urlDomain = "url";

    DomainError(std::string domain, std::int64_t code);
    const std::string& domain() const { return domain_; }
    std::int64_t code() const { return code_; }

  private:
    std::string domain_;
    std::int64_t code_;
};

}  // namespace velmora
