#include "app/model/features/files/received_folder.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "app/model/features/files/transfer_policy.h"
#include "core/crypto/cxp_crypto.h"

namespace velmora::ReceivedFolder {

namespace {

constexpr std::string_view kTempPrefix = ".Velmora-";
constexpr std::string_view kTempSuffix = ".part";
constexpr int kMaxCandidates = 1000;

// Version 4 layout of 16 random bytes, in the usual 8-4-4-4-12 form.
std::string randomUuid() {
    Bytes bytes = CXPCrypto::randomBytes(16);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    const std::string hex = CXPCrypto::hex(bytes);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) +
           "-" + hex.substr(20);
}

bool taken(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

}  // namespace

void setUp(const std::filesystem::path& folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    for (std::filesystem::directory_iterator it(folder, ignored), end; !ignored && it != end;
         it.increment(ignored)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kTempPrefix) && name.ends_with(kTempSuffix)) {
            std::error_code removeError;
            std::filesystem::remove(it->path(), removeError);
        }
    }
}

std::string temporaryName(std::uint32_t tid) {
    return std::string(kTempPrefix) + std::to_string(tid) + "-" + randomUuid() + std::string(kTempSuffix);
}

std::optional<std::int64_t> freeBytes(const std::filesystem::path& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const std::uint64_t unit = info.f_frsize == 0 ? 1 : info.f_frsize;
    if (info.f_bavail > kMax / unit) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(info.f_bavail * unit);
}

std::string candidateName(const std::string& name, int n) {
    if (n == 0) return name;
    const std::size_t dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(n) + ")";
    if (dot == std::string::npos || dot == 0) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

std::optional<std::filesystem::path> place(const std::filesystem::path& temporary,
                                           const std::filesystem::path& folder, const std::string& name) {
    for (int n = 0; n < kMaxCandidates; ++n) {
        const std::filesystem::path candidate = folder / candidateName(name, n);
        if (!TransferPolicy::isDirectChild(candidate, folder)) return std::nullopt;
        if (taken(candidate)) continue;
        // link(2) fails on an existing entry instead of replacing it, so a name taken since the test above
        // is skipped too; rename(2) would overwrite.
        if (::link(temporary.c_str(), candidate.c_str()) == 0) {
            (void)::unlink(temporary.c_str());
            return candidate;
        }
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace velmora::ReceivedFolder
