#include "app/links/installer/apk_integrity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>
#include <vector>

#include <openssl/evp.h>

#include "app/links/installer/adb_text.h"
#include "core/crypto/cxp_crypto.h"
#include "core/crypto/openssl_handles.h"
#include "core/posix/unique_fd.h"

namespace velmora::ApkIntegrity {
namespace {

namespace fs = std::filesystem;

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// A version 4 UUID in its upper-case 36-character form.
std::string freshUuid() {
    auto bytes = CXPCrypto::randomBytes(16);
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    std::string hex = CXPCrypto::hex(bytes);
    std::transform(hex.begin(), hex.end(), hex.begin(),
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) +
           "-" + hex.substr(20);
}

// Fills `chunk` from `fd` until it is full or the file ends; false on a read error.
bool readChunk(int fd, std::vector<std::uint8_t>& chunk) {
    std::size_t filled = 0;
    chunk.resize(chunkSize);
    while (filled < chunk.size()) {
        const ssize_t got = ::read(fd, chunk.data() + filled, chunk.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    chunk.resize(filled);
    return true;
}

bool writeAll(int fd, const std::vector<std::uint8_t>& chunk) {
    std::size_t written = 0;
    while (written < chunk.size()) {
        const ssize_t put = ::write(fd, chunk.data() + written, chunk.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        written += static_cast<std::size_t>(put);
    }
    return true;
}

void removeQuietly(const fs::path& dir) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

StageResult stageUnguarded(const fs::path& apk, const std::optional<std::string>& expectedHash,
                           const fs::path& tempDir) {
    if (!expectedHash) return Failure::noExpectedHash;
    const std::string expected = lowered(*expectedHash);
    if (expected.size() != 64) return Failure::noExpectedHash;
    const UniqueFd source(::open(apk.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid()) return Failure::unreadable;
    // An empty folder would put the copy in the working folder.
    if (tempDir.empty()) return Failure::unreadable;
    const fs::path dir = tempDir / ("velmora-apk-" + freshUuid());
    // mkdir's mode passes through the umask; chmod then sets exactly 0700.
    if (::mkdir(dir.c_str(), 0700) != 0) return Failure::unreadable;
    StagedFolder folder(dir);
    if (::chmod(dir.c_str(), 0700) != 0) return Failure::unreadable;
    const fs::path file = dir / "Velmora.apk";
    const auto copied = copyHashed(source.get(), file);
    if (const auto* failure = std::get_if<Failure>(&copied)) return *failure;
    if (std::get<std::string>(copied) != expected) return Failure::mismatch;
    return Staged{file, folder.release()};
}

}  // namespace

StagedFolder::~StagedFolder() {
    if (!dir_.empty()) removeQuietly(dir_);
}

std::optional<std::string> parseExpectedHash(std::string_view text) {
    const std::string token = lowered(AdbText::firstToken(text));
    if (token.size() != 64) return std::nullopt;
    if (!std::all_of(token.begin(), token.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
        return std::nullopt;
    return token;
}

std::variant<std::string, Failure> copyHashed(int source, const fs::path& target) {
    const UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) return Failure::unreadable;
    const openssl::MdCtx hasher(EVP_MD_CTX_new());
    if (!hasher || EVP_DigestInit_ex(hasher.get(), EVP_sha256(), nullptr) != 1) return Failure::unreadable;
    std::vector<std::uint8_t> chunk;
    for (;;) {
        if (!readChunk(source, chunk)) return Failure::unreadable;
        if (chunk.empty()) break;
        EVP_DigestUpdate(hasher.get(), chunk.data(), chunk.size());
        if (!writeAll(out.get(), chunk)) return Failure::unreadable;
    }
    Bytes digest(EVP_MAX_MD_SIZE);
    unsigned length = 0;
    if (EVP_DigestFinal_ex(hasher.get(), digest.data(), &length) != 1) return Failure::unreadable;
    digest.resize(length);
    return CXPCrypto::hex(digest);
}

StageResult stage(const fs::path& apk, const std::optional<std::string>& expectedHash,
                  const fs::path& tempDir) {
    // Whatever goes wrong on the way (memory, the random source) is one more copy that could not be made;
    // the folder, if made, goes with the guard.
    try {
        return stageUnguarded(apk, expectedHash, tempDir);
    } catch (const std::exception&) {
        return Failure::unreadable;
    }
}

StageResult stage(const fs::path& apk, const std::optional<std::string>& expectedHash) {
    return stage(apk, expectedHash, userTempFolder());
}

fs::path userTempFolder() {
    std::error_code error;
    fs::path folder = fs::temp_directory_path(error);
    return error ? fs::path() : folder;
}

}  // namespace velmora::ApkIntegrity
