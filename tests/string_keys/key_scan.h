#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::strings {

// One place in the sources where a key is looked up with a literal key.
struct KeyUse {
    std::string key;
    bool isFormat = false;
    std::optional<int> argCount;  // for a format called with a braced list; absent when the count is unknown
    std::string where;            // file:line
};

// Finds every L10n::string("...") and L10n::format("...", {...}) in one source text.
std::vector<KeyUse> scanSource(std::string_view source, const std::string& fileName);

// Every use in the C++ files below `roots`.
std::vector<KeyUse> scanTree(const std::filesystem::path& base, const std::vector<std::string>& roots);

// How many arguments a table text consumes: plain placeholders count in turn, a positional one
// ("%2$@") needs at least that many; "%%" is a percent sign.
int placeholderCount(std::string_view text);

}  // namespace velmora::strings
