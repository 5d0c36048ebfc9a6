#pragma once

#include <optional>
#include <string>

#include "core/identity/peer.h"

namespace velmora {

// The paired phones, as the link session sees them.
class PeerStore {
  public:
    virtual ~PeerStore() = default;

    // The peer stored under exactly this id (case-sensitive), if any.
    virtual std::optional<Peer> find(const std::string& id) const = 0;
    // Stores the peer under its id, replacing an earlier one. False when the change could not be made
    // durable; the peer is kept in memory all the same, and the caller logs and tells the user.
    virtual bool save(const Peer& peer) = 0;
};

}  // namespace velmora
