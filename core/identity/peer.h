#pragma once

#include <string>

#include "core/bytes.h"

namespace velmora {

// A phone this computer has authenticated: its device id, its signing public key (X9.63, as the phone
// sent it), and its cleaned display name and platform label.
struct Peer {
    std::string id;
    Bytes pub;
    std::string name;
    std::string platform;

    bool operator==(const Peer&) const = default;
};

}  // namespace velmora
