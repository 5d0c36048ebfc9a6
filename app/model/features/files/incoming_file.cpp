#include "app/model/features/files/incoming_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace velmora {

std::unique_ptr<IncomingFile> IncomingFile::create(const std::filesystem::path& temporary,
                                                   const Inbound::FileOffer& offer, std::uint64_t session,
                                                   double now) {
    UniqueFd fd(::open(temporary.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return nullptr;
    return std::make_unique<IncomingFile>(std::move(fd), temporary, offer, session, now);
}

IncomingFile::IncomingFile(UniqueFd fd, std::filesystem::path temporary, Inbound::FileOffer offer,
                           std::uint64_t session, double now)
    : fd_(std::move(fd)),
      temporary_(std::move(temporary)),
      offer_(std::move(offer)),
      session_(session),
      lastActivity_(now),
      digest_(fd_.get()) {}

bool IncomingFile::append(ByteView data, double now) {
    lastActivity_.store(now);
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::write(fd_.get(), data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    digest_.written(got_.fetch_add(static_cast<std::int64_t>(data.size())) +
                    static_cast<std::int64_t>(data.size()));
    return true;
}

bool IncomingFile::finish() {
    const std::optional<std::string> digest = digest_.finishHex();
    fd_.reset();
    return digest == offer_.sha256;
}

void IncomingFile::discard() const {
    (void)::unlink(temporary_.c_str());
}

}  // namespace velmora
