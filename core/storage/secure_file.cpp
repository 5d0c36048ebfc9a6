#include "core/storage/secure_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/crypto/cxp_crypto.h"

namespace velmora::SecureFile {
namespace {

// A random (version 4) UUID in upper case with hyphens, so two writers never share a temporary name.
std::string uuidText() {
    Bytes b = CXPCrypto::randomBytes(16);
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0f) | 0x40);
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3f) | 0x80);
    std::string hex = CXPCrypto::hex(b);
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) +
           "-" + hex.substr(20);
}

bool writeAll(int fd, ByteView data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads straight into the result, so no other buffer ever holds the content. On failure errno is the open's
// or the read's: the partial content is released before errno is put back, so nothing after that touches it.
template <typename Buffer>
std::optional<Buffer> readUpTo(const std::filesystem::path& file, std::size_t limit) {
    constexpr std::size_t kChunk = 16384;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<Buffer> out(std::in_place);
    std::size_t size = 0;
    while (size <= limit) {
        out->resize(size + std::min(kChunk, limit + 1 - size));
        const ssize_t n = ::read(fd, out->data() + size, out->size() - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            out.reset();
            ::close(fd);
            errno = error;
            return out;
        }
        if (n == 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    out->resize(size);
    return out;
}

}  // namespace

Inspection inspect(const std::filesystem::path& file, bool requireOwnerOnly) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return errno == ENOENT ? Inspection::missing : Inspection::unsafe;
    if (!S_ISREG(st.st_mode)) return Inspection::unsafe;
    if (st.st_uid != ::getuid()) return Inspection::unsafe;
    const mode_t mask = requireOwnerOnly ? 0077 : 0022;
    if ((st.st_mode & mask) != 0) return Inspection::unsafe;
    return Inspection::ok;
}

void tighten(const std::filesystem::path& file, unsigned mode) {
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) return;
    if (st.st_uid != ::getuid() || S_ISLNK(st.st_mode)) return;
    if ((st.st_mode & 07777) == mode) return;
    ::chmod(file.c_str(), static_cast<mode_t>(mode));
}

bool writeAtomically(ByteView data, const std::filesystem::path& file, unsigned mode) {
    const std::filesystem::path temp =
        file.parent_path() / ("." + file.filename().string() + "." + uuidText() + ".tmp");
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0) return false;
    if (!writeAll(fd, data)) {
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), file.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<Bytes> readBounded(const std::filesystem::path& file, std::size_t limit) {
    return readUpTo<Bytes>(file, limit);
}

std::optional<SecretBytes> readSecret(const std::filesystem::path& file, std::size_t limit) {
    return readUpTo<SecretBytes>(file, limit);
}

}  // namespace velmora::SecureFile
