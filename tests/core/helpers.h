#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string_view>
#include <utility>

#include <gtest/gtest.h>

#include "core/bytes.h"
#include "core/errors/net_error.h"
#include "support/temp_dir.h"

namespace velmora::test {

// Test vectors are written as hex text; a malformed literal is a bug in the test itself.
inline Bytes fromHex(std::string_view text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    return out;
}

inline Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// How `action` ended: "no error", the errno name of a NetError, or the what() of any other exception (a
// CXPError's is its kind, then its text: "closed", "protocolError: registro curto").
inline std::string outcomeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const NetError& e) {
        return errnoName(e.code());
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// A table whose rows hold what the code gave and what it must give, each reported by its row number.
inline void expectRows(std::initializer_list<std::pair<std::string, std::string>> rows) {
    for (std::size_t row = 0; row < rows.size(); ++row)
        EXPECT_EQ(rows.begin()[row].first, rows.begin()[row].second) << "row " << row;
}

// Writes `text` as the whole file and then sets its mode (the umask does not apply).
inline void writeFile(const std::filesystem::path& path, std::string_view text, mode_t mode = 0600) {
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), mode);
}

// The permission bits of the path itself (a link is not followed); 0 when it does not exist.
inline mode_t modeOf(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// How many entries a folder holds (a temporary file left behind shows here).
inline long entriesIn(const std::filesystem::path& dir) {
    return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator{});
}

}  // namespace velmora::test
