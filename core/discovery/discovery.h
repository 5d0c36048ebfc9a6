#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/discovery/device_id.h"

// The rules a DNS-SD finding passes before the rest of the program uses it. Pure; any thread.
namespace velmora::Discovery {

struct Entry {
    std::string id;                 // the announced device id, unchanged
    std::string name;               // the cleaned device name
    std::optional<std::string> ip;  // only a routable IPv4 address
    std::string endpointKey;        // the address, or serviceKey() of the service name

    bool operator==(const Entry&) const = default;
};

enum class Rejection { missingID, badID };

// The text logged after "anúncio mDNS descartado: ".
std::string_view rawValue(Rejection rejection);

// Checks one finding: the "id", "name" and "ip" values of its TXT record and its service name. Only the id
// can reject it; a bad address is dropped and a bad name cleaned.
std::variant<Entry, Rejection> validate(std::optional<std::string_view> id,
                                        std::optional<std::string_view> name,
                                        std::optional<std::string_view> ip, std::string_view serviceName);

// "svc-" and the first 6 bytes of SHA-256 of the service name in hex: a stable key for a service that
// announced no usable address.
std::string serviceKey(std::string_view serviceName);

}  // namespace velmora::Discovery
