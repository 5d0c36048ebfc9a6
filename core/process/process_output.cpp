#include "core/process/process_output.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace velmora::ProcessOutput {

bool CappedBuffer::append(ByteView chunk) {
    const std::size_t room = cap_ - std::min(cap_, result_.data.size());
    const std::size_t keep = std::min(room, chunk.size());
    result_.data.insert(result_.data.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(keep));
    if (keep == chunk.size() || result_.truncated) return false;
    result_.truncated = true;
    return true;
}

Capped readCapped(int fd, std::size_t cap, const std::function<void()>& onExceed) {
    CappedBuffer buffer(cap);
    std::array<std::uint8_t, chunkSize> chunk{};
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (buffer.append(ByteView(chunk.data(), static_cast<std::size_t>(n))) && onExceed) onExceed();
    }
    return buffer.take();
}

}  // namespace velmora::ProcessOutput
