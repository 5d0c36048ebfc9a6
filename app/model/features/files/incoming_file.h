#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "app/model/features/files/written_digest.h"
#include "core/bytes.h"
#include "core/posix/unique_fd.h"
#include "core/protocol/inbound.h"

namespace velmora {

// One accepted incoming transfer: its hidden temporary file, open for writing, and the running digest of
// what was written (read back from the file). The file goes when discard() is called; the descriptor closes
// with the object.
//
// Threads: append(), finish() and the digest belong to the receive thread of the session that offered it
// (the digest itself is read back and computed on a worker of its own, see WrittenDigest);
// got() and lastActivity() may be read from any thread; discard() from whichever thread took the transfer
// out of the table (it only removes the name, so a write in flight on the receive thread stays harmless).
class IncomingFile {
  public:
    // Creates the temporary file exclusively (never through a link) with mode 0600; null when it cannot.
    static std::unique_ptr<IncomingFile> create(const std::filesystem::path& temporary,
                                                const Inbound::FileOffer& offer, std::uint64_t session,
                                                double now);

    const Inbound::FileOffer& offer() const { return offer_; }
    const std::filesystem::path& temporary() const { return temporary_; }
    std::uint64_t session() const { return session_; }  // the offering session's serial
    std::int64_t got() const { return got_.load(); }
    std::int64_t remaining() const { return offer_.size - got(); }
    bool complete() const { return got() >= offer_.size; }
    double lastActivity() const { return lastActivity_.load(); }

    // Writes all of `data` at the end and hashes it; false when the write failed (a full disk, a size
    // limit, an I/O error).
    bool append(ByteView data, double now);
    // Closes the file; true when the digest of its bytes is the offered one.
    bool finish();
    // Removes the temporary name; errors are ignored.
    void discard() const;

    IncomingFile(UniqueFd fd, std::filesystem::path temporary, Inbound::FileOffer offer,
                 std::uint64_t session, double now);

  private:
    UniqueFd fd_;
    const std::filesystem::path temporary_;
    const Inbound::FileOffer offer_;
    const std::uint64_t session_;
    std::atomic<std::int64_t> got_{0};
    std::atomic<double> lastActivity_;
    WrittenDigest digest_;  // last: stopped before the descriptor closes
};

}  // namespace velmora
