#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "core/identity/peer_store.h"

namespace velmora {

// A peer store in memory that counts its writes, so a test can prove that a failed opening changed
// nothing. Any thread.
class MemoryPeerStore final : public PeerStore {
  public:
    std::optional<Peer> find(const std::string& id) const override;
    bool save(const Peer& peer) override;

    void put(const Peer& peer);  // seeds the store without counting a save
    std::map<std::string, Peer> snapshot() const;
    int saves() const;
    // Makes later saves report a failed write (the peer is still kept, as the file store does).
    void failWrites(bool fail);

  private:
    mutable std::mutex mutex_;  // guards every field
    std::map<std::string, Peer> peers_;
    int saves_ = 0;
    bool failWrites_ = false;
};

}  // namespace velmora
