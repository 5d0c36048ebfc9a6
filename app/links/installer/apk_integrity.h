#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace velmora::ApkIntegrity {

// Checks the companion package before adb sees it: the package is copied into a private folder and hashed
// over exactly the bytes written, so the bytes installed are the bytes that matched. Any thread; blocking.
enum class Failure {
    noExpectedHash,  // no usable expected digest
    unreadable,      // the package could not be read, or the copy could not be made
    mismatch,        // the copy's SHA-256 differs from the expected one
};

struct Staged {
    std::filesystem::path file;  // the copy to install
    std::filesystem::path dir;   // its private folder; the caller removes it (a StagedFolder does)
    bool operator==(const Staged&) const = default;
};

using StageResult = std::variant<Staged, Failure>;

// A staged copy's folder, removed with everything in it when this goes, unless released first.
class StagedFolder {
  public:
    explicit StagedFolder(std::filesystem::path dir) : dir_(std::move(dir)) {}
    ~StagedFolder();
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;
    // Hands the folder out: it stays.
    std::filesystem::path release() { return std::exchange(dir_, {}); }

  private:
    std::filesystem::path dir_;
};

// Size of one read and write of the copy.
inline constexpr std::size_t chunkSize = 1 << 20;

// The expected digest from the digest file's text: its first token (split on any Unicode white space),
// lower-cased, when that is exactly 64 hexadecimal digits. Accepts a bare digest or a checksum tool's
// "digest  name" line.
std::optional<std::string> parseExpectedHash(std::string_view text);

// Copies `apk` into a new 0700 folder "velmora-apk-<UUID>" under `tempDir` as "Velmora.apk" (0600), hashing
// as it writes, and returns the copy when its digest equals `expectedHash`. Never throws: every failure,
// an empty `tempDir` or a folder that cannot be made included, comes back as a Failure, and nothing is
// left behind.
StageResult stage(const std::filesystem::path& apk, const std::optional<std::string>& expectedHash,
                  const std::filesystem::path& tempDir);
// The same under the user's temporary folder ($TMPDIR, else /tmp); a $TMPDIR that names no folder makes
// the copy `unreadable`.
StageResult stage(const std::filesystem::path& apk, const std::optional<std::string>& expectedHash);
// The user's temporary folder, or an empty path when $TMPDIR names no folder.
std::filesystem::path userTempFolder();

// The copy step alone: reads `source` to its end in chunks and writes every byte to a new file `target`
// (created exclusively, 0600, never through a link), hashing what it writes. Returns the lower-case hex
// SHA-256, or `unreadable` for a read or write error (a read error is no end of file: the copy would be
// short). A signal that interrupts a read or write is retried. On failure `target` may be left partial.
std::variant<std::string, Failure> copyHashed(int source, const std::filesystem::path& target);

}  // namespace velmora::ApkIntegrity
