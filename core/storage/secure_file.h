#pragma once

#include <filesystem>
#include <optional>

#include "core/bytes.h"
#include "core/crypto/secret_bytes.h"

// Checks and writes for the private files (identity key, peers list). Stateless; any thread.
namespace velmora::SecureFile {

enum class Inspection { missing, ok, unsafe };

// Examines the entry itself (links are not followed). Unsafe: a link or anything but a regular file, owned
// by another user, not examinable, or with a permission bit in 0077 (requireOwnerOnly) or 0022 (otherwise).
Inspection inspect(const std::filesystem::path& file, bool requireOwnerOnly);

// Sets the permission bits to `mode` when the entry is ours and not a link; every failure is ignored.
void tighten(const std::filesystem::path& file, unsigned mode);

// Replaces `file` whole: writes a temporary file beside it (created exclusively, never through a link),
// syncs it and renames it over the target. False on any failure, with the temporary file removed and the
// old file untouched.
bool writeAtomically(ByteView data, const std::filesystem::path& file, unsigned mode);

// Reads the file without following a link, stopping after `limit` + 1 bytes so that a caller can tell an
// oversized file from a full one without holding all of it. nullopt when it cannot be opened or read, with
// errno telling why.
std::optional<Bytes> readBounded(const std::filesystem::path& file, std::size_t limit);
// The same for a file that holds a key: read straight into bytes that are wiped when released.
std::optional<SecretBytes> readSecret(const std::filesystem::path& file, std::size_t limit);

}  // namespace velmora::SecureFile
