#include "core/errors/net_error.h"

#include <netdb.h>

#include <cstring>

namespace velmora {
namespace {

const char* eaiName(int code) {
    switch (code) {
        case EAI_ADDRFAMILY:
            return "EAI_ADDRFAMILY";
        case EAI_AGAIN:
            return "EAI_AGAIN";
        case EAI_BADFLAGS:
            return "EAI_BADFLAGS";
        case EAI_FAIL:
            return "EAI_FAIL";
        case EAI_FAMILY:
            return "EAI_FAMILY";
        case EAI_MEMORY:
            return "EAI_MEMORY";
        case EAI_NODATA:
            return "EAI_NODATA";
        case EAI_NONAME:
            return "EAI_NONAME";
        case EAI_SERVICE:
            return "EAI_SERVICE";
        case EAI_SOCKTYPE:
            return "EAI_SOCKTYPE";
        case EAI_SYSTEM:
            return "EAI_SYSTEM";
        case EAI_OVERFLOW:
            return "EAI_OVERFLOW";
        default:
            return nullptr;
    }
}

// strerrordesc_np is the thread-safe form of strerror (no shared buffer); null for an unknown number.
std::string errnoText(int code) {
    const char* text = strerrordesc_np(code);
    return text ? text : "erro desconhecido";
}

std::string describe(NetError::Kind kind, int code) {
    switch (kind) {
        case NetError::Kind::posix:
            return "erro de rede " + errnoName(code) + ": " + errnoText(code);
        case NetError::Kind::dns: {
            const char* name = eaiName(code);
            return std::string("erro de DNS ") + (name ? name : "EAI " + std::to_string(code)) + ": " +
                   gai_strerror(code);
        }
        case NetError::Kind::tls:
            return "erro de TLS " + std::to_string(code);
        case NetError::Kind::avahi:
            return "erro do Avahi " + std::to_string(code);
        case NetError::Kind::other:
            break;
    }
    return "erro de rede " + std::to_string(code);
}

}  // namespace

std::string errnoName(int code) {
    // strerrorname_np (glibc 2.32+) knows every errno of this system and returns null for unknown numbers.
    const char* name = strerrorname_np(code);
    return name ? name : "errno " + std::to_string(code);
}

NetError::NetError(Kind kind, int code)
    : std::runtime_error(describe(kind, code)), kind_(kind), code_(code) {}

PosixError::PosixError(int code)
    : std::runtime_error("erro do sistema " + errnoName(code) + ": " + errnoText(code)), code_(code) {}

}  // namespace velmora
