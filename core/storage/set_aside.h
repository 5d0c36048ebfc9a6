#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

// Keeping a file this program will not use, under a name beside it, without ever losing one kept before.
namespace velmora::SetAside {

// How many names one file may be kept under: "<file><suffix>", then "<file><suffix>.1" up to ".99".
constexpr int kNames = 100;

// Moves the entry itself (a link stays a link, a folder moves whole) to the first of its names that nothing
// holds, never over an entry that is there, even one made by someone else while this runs. The name it
// went to; nullopt with `error` set when it did not move (no_such_file_or_directory: there was nothing to
// move; file_exists: every name is taken). Any thread.
std::optional<std::filesystem::path> move(const std::filesystem::path& file, std::string_view suffix,
                                          std::error_code& error);

}  // namespace velmora::SetAside
