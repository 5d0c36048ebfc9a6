#include "core/process/adb_locator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "file_helpers.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A private folder (mode 0700 from mkdtemp) holding the files under test.
class AdbLocatorTest : public ::testing::Test {
  protected:
    std::string folder(const std::string& name, mode_t mode) {
        const fs::path path = dir_.path() / name;
        fs::create_directories(path);
        ::chmod(path.c_str(), mode);
        return path;
    }
    static std::string file(const std::string& folderPath, mode_t mode, const std::string& name = "adb") {
        test::writeFile(folderPath + "/" + name, "#!/bin/sh\n", mode);
        return folderPath + "/" + name;
    }
    static std::string link(const std::string& target, const std::string& at) {
        fs::create_symlink(target, at);
        return at;
    }

    test::TempDir dir_{"velmora-adb"};
};

TEST_F(AdbLocatorTest, AcceptsOnlyProtectedExecutablesOfRootOrUs) {
    const auto safe = folder("safe", 0755), open = folder("open", 0777), links = folder("links", 0755);
    const std::pair<std::string, bool> cases[] = {
        {file(safe, 0755), true},
        {file(safe, 0775, "adb-g"), true},             // group may write the file
        {file(folder("group", 0775), 0755), true},     // group may write the folder
        {file(safe, 0757, "adb-o"), false},            // others may write the file
        {file(open, 0755), false},                     // others may write the folder
        {file(folder("sticky", 01777), 0755), false},  // a sticky world-writable folder like /tmp
        {file(safe, 0644, "adb-x"), false},            // not executable
        {safe + "/nothing", false},
        {folder("safe/adb-dir", 0755), false},
        {link(safe + "/adb", links + "/adb"), true},
        {link(safe + "/adb-dir", links + "/adb-dir"), false},
        {link(open + "/adb", links + "/adb-open"), false},
        {link(safe + "/gone", links + "/adb-gone"), false},
        {"", false},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(AdbLocator::isSafeBinary(path), expected) << path;

    // The first safe candidate wins, as given: a link's own path, not its target.
    const auto other = file(folder("other", 0755), 0755);
    EXPECT_EQ(AdbLocator::find({open + "/adb", links + "/adb", other}), links + "/adb");
    EXPECT_EQ(AdbLocator::find({other, links + "/adb"}), other);
    EXPECT_EQ(AdbLocator::find({open + "/adb", safe + "/nothing"}), std::nullopt);
}

TEST_F(AdbLocatorTest, RejectsAnExecutableOwnedBySomeoneElse) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    const auto path = file(folder("safe", 0755), 0755);
    ASSERT_EQ(::chown(path.c_str(), 12345, 12345), 0);
    EXPECT_FALSE(AdbLocator::isSafeBinary(path));
    // The folder's owner is not examined.
    const auto foreignFolder = folder("foreign", 0755);
    ASSERT_EQ(::chown(foreignFolder.c_str(), 12345, 12345), 0);
    EXPECT_TRUE(AdbLocator::isSafeBinary(file(foreignFolder, 0755)));
}

TEST(AdbLocator, DefaultCandidatesAreTheLinuxPlacesAndNeverRelative) {
    EXPECT_EQ(AdbLocator::defaultCandidates("/home/ana"),
              (std::vector<std::string>{"/usr/bin/adb", "/usr/local/bin/adb",
                                        "/home/ana/Android/Sdk/platform-tools/adb"}));
    for (const char* home : {"", "ana", "./x"})
        EXPECT_EQ(AdbLocator::defaultCandidates(home).size(), 2u) << home;
}

}  // namespace
}  // namespace velmora
