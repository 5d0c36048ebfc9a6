#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The received-files folder: its set-up, the names of its temporary files, its free space and the final
// placement of a verified file. Any thread; nothing here keeps state.
namespace velmora::ReceivedFolder {

// The subfolder of the downloads folder that receives the phone's files.
inline constexpr const char* subfolder = "Velmora";

// Creates `folder` (with its parents; an error is ignored) and removes the temporary files an earlier run
// left in it (".Velmora-*.part"), and nothing else.
void setUp(const std::filesystem::path& folder);

// ".Velmora-<tid>-<random UUID>.part": hidden, and never a name the cleaned offered names can take.
std::string temporaryName(std::uint32_t tid);

// The free bytes of the folder's volume for an unprivileged writer; absent when unreadable.
std::optional<std::int64_t> freeBytes(const std::filesystem::path& folder);

// Try number `n` for `name`: the name itself for 0, else "base (n).ext" (the extension is what follows the
// last dot), or "base (n)" without an extension.
std::string candidateName(const std::string& name, int n);

// Links the verified temporary file under the first free candidate name in `folder` (never replacing an
// existing entry, a dangling link included) and removes the temporary name. Absent when no candidate up to
// 999 was free or linking failed otherwise; the temporary file is then left to the caller.
std::optional<std::filesystem::path> place(const std::filesystem::path& temporary,
                                           const std::filesystem::path& folder, const std::string& name);

}  // namespace velmora::ReceivedFolder
