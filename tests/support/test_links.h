#pragma once

#include <memory>
#include <string>

#include "core/transport/transport.h"

namespace velmora {

// The two ends of one byte pipe between the computer and the simulated phone. Both kinds stay on this
// machine: a socketpair, or a real TCP connection to 127.0.0.1.
enum class LinkKind { socketPair, loopbackTcp };

struct LinkEnds {
    std::shared_ptr<Transport> computer;
    std::shared_ptr<Transport> phone;
};

// For loopbackTcp the computer's end goes through the TCP transport's own connect().
LinkEnds makeLink(LinkKind kind);

std::string linkName(LinkKind kind);

}  // namespace velmora
