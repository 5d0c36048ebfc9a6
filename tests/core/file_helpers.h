#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace velmora::test {

// Writes `text` as the whole file and then sets its mode (the umask does not apply).
inline void writeFile(const std::filesystem::path& path, const std::string& text, mode_t mode = 0600) {
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), mode);
}

// The permission bits of the path itself (a link is not followed); 0 when it does not exist.
inline mode_t modeOf(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

// How many entries a folder holds (a temporary file left behind shows here).
inline long entriesIn(const std::filesystem::path& dir) {
    return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator{});
}

}  // namespace velmora::test
