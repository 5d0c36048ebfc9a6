#include "support/memory_peer_store.h"

namespace velmora {

std::optional<Peer> MemoryPeerStore::find(const std::string& id) const {
    std::lock_guard lock(mutex_);
    const auto it = peers_.find(id);
    if (it == peers_.end()) return std::nullopt;
    return it->second;
}

bool MemoryPeerStore::save(const Peer& peer) {
    std::lock_guard lock(mutex_);
    ++saves_;
    peers_[peer.id] = peer;
    return !failWrites_;
}

void MemoryPeerStore::put(const Peer& peer) {
    std::lock_guard lock(mutex_);
    peers_[peer.id] = peer;
}

std::map<std::string, Peer> MemoryPeerStore::snapshot() const {
    std::lock_guard lock(mutex_);
    return peers_;
}

int MemoryPeerStore::saves() const {
    std::lock_guard lock(mutex_);
    return saves_;
}

void MemoryPeerStore::failWrites(bool fail) {
    std::lock_guard lock(mutex_);
    failWrites_ = fail;
}

}  // namespace velmora
