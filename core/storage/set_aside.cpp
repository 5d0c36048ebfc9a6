#include "core/storage/set_aside.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace velmora::SetAside {
namespace {

// A rename that fails with EEXIST rather than replace what is there. Where the filesystem does not know
// the flag, a hard link does the same for anything but a folder (linkat without a flag never follows a link);
// a folder takes the name by making an empty folder there first, which only a rename of a folder replaces.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0) return -1;
    if (S_ISDIR(info.st_mode)) {
        if (::mkdir(to.c_str(), 0700) != 0) return -1;
        if (::rename(from.c_str(), to.c_str()) == 0) return 0;
        const int failed = errno;
        ::rmdir(to.c_str());
        errno = failed;
        return -1;
    }
    if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) return -1;
    ::unlink(from.c_str());  // left behind, it is replaced by the caller's next write in any case
    return 0;
}

}  // namespace

std::optional<std::filesystem::path> move(const std::filesystem::path& file, std::string_view suffix,
                                          std::error_code& error) {
    for (int n = 0; n < kNames; ++n) {
        std::filesystem::path name = file;
        name += suffix;
        if (n > 0) name += "." + std::to_string(n);
        if (renameNoReplace(file, name) == 0) {
            error.clear();
            return name;
        }
        if (errno != EEXIST) {
            error.assign(errno, std::generic_category());
            return std::nullopt;
        }
    }
    error = std::make_error_code(std::errc::file_exists);
    return std::nullopt;
}

}  // namespace velmora::SetAside
