#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/identity/peer_store.h"

namespace velmora {

// The paired phones, in memory and in a private JSON file ("peers.json": an array of
// {"id", "pub" (base64), "name", "platform"}), rewritten whole and atomically after every change.
//
// Threads: any thread may call any member at any time (the link session, the connection manager, the
// panel). `mutex_` guards `peers_` and `pendingSetAside_`, and is held across each change together with its
// file write, so writes are serialised and each one holds a consistent state.
class FilePeerStore : public PeerStore {
  public:
    // Larger files are not read: they are not a list this program wrote.
    static constexpr std::uintmax_t kMaxFileSize = 4 * 1024 * 1024;

    // Loads the file; never throws. A missing file gives an empty store. A file that is unsafe (a link,
    // not a regular file, another user's, group- or world-writable) is not read. Elements that are
    // malformed, or whose id is not the id of their key, are dropped one by one. An unsafe file, and one
    // that cannot be read or does not parse at all, is left alone until the first write, which moves it
    // aside first to the first free one of "<name>.bad", "<name>.bad.1", ..., so a list this store could
    // not use is never silently destroyed, nor one set aside before.
    explicit FilePeerStore(std::filesystem::path file);

    std::optional<Peer> find(const std::string& id) const override;
    bool save(const Peer& peer) override;
    // Forgets the peer (if stored) and rewrites the file in every case. False when the file was not written.
    bool remove(const std::string& id);
    // A snapshot, in no defined order.
    std::vector<Peer> all() const;
    bool ignoredUnsafeFile() const { return ignoredUnsafeFile_; }

  private:
    void load();
    bool writeLocked();

    const std::filesystem::path file_;
    bool ignoredUnsafeFile_ = false;

    mutable std::mutex mutex_;
    std::map<std::string, Peer> peers_;
    bool pendingSetAside_ = false;
};

}  // namespace velmora
