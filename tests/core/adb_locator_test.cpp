#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/process/adb_locator.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A private folder (mode 0700 from mkdtemp) holding the files under test.
class AdbLocatorTest : public ::testing::Test {
  protected:
    std::string folder(const std::string& name, mode_t mode) {
        const std::string path = root_ + "/" + name;
        fs::create_directories(path);
        ::chmod(path.c_str(), mode);
        return path;
    }
    std::string file(const std::string& folderPath, mode_t mode, const std::string& name = "adb") {
        const std::string path = folderPath + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n";
        ::chmod(path.c_str(), mode);
        return path;
    }
    std::string link(const std::string& target, const std::string& at) {
        fs::create_symlink(target, at);
        return at;
    }

    test::TempDir dir_{"velmora-adb"};
    const std::string root_ = dir_.path().string();
};

TEST_F(AdbLocatorTest, AcceptsOnlyProtectedExecutablesOfRootOrUs) {
    const auto safe = folder("safe", 0755);
    const auto groupWritable = folder("group", 0775);
    const auto open = folder("open", 0777);
    const auto sticky = folder("sticky", 01777);
    const auto links = folder("links", 0755);
    struct Case {
        const char* what;
        std::string path;
        bool safe;
    };
    const Case cases[] = {
        {"plain executable", file(safe, 0755), true},
        {"group may write the file", file(safe, 0775, "adb-g"), true},
        {"group may write the folder", file(groupWritable, 0755), true},
        {"others may write the file", file(safe, 0757, "adb-o"), false},
        {"others may write the folder", file(open, 0755), false},
        {"sticky world-writable folder like /tmp", file(sticky, 0755), false},
        {"not executable", file(safe, 0644, "adb-x"), false},
        {"missing", safe + "/nothing", false},
        {"a folder", folder("safe/adb-dir", 0755), false},
        {"link to a safe executable", link(safe + "/adb", links + "/adb"), true},
        {"link to a folder", link(safe + "/adb-dir", links + "/adb-dir"), false},
        {"link into an open folder", link(open + "/adb", links + "/adb-open"), false},
        {"dangling link", link(safe + "/gone", links + "/adb-gone"), false},
        {"empty path", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AdbLocator::isSafeBinary(c.path), c.safe) << c.path;
    }
}

TEST_F(AdbLocatorTest, RejectsAnExecutableOwnedBySomeoneElse) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to give a file away";
    const auto safe = folder("safe", 0755);
    const auto path = file(safe, 0755);
    ASSERT_EQ(::chown(path.c_str(), 12345, 12345), 0);
    EXPECT_FALSE(AdbLocator::isSafeBinary(path));
    // The folder's owner is not examined.
    const auto foreignFolder = folder("foreign", 0755);
    ASSERT_EQ(::chown(foreignFolder.c_str(), 12345, 12345), 0);
    EXPECT_TRUE(AdbLocator::isSafeBinary(file(foreignFolder, 0755)));
}

TEST_F(AdbLocatorTest, FindReturnsTheFirstSafeCandidateAsGiven) {
    const auto safe = folder("safe", 0755);
    const auto other = folder("other", 0755);
    const auto open = folder("open", 0777);
    const auto unsafe = file(open, 0755);
    const auto first = link(file(safe, 0755), folder("links", 0755) + "/adb");
    const auto second = file(other, 0755);

    EXPECT_EQ(AdbLocator::find({unsafe, first, second}), first);  // the link's own path, not its target
    EXPECT_EQ(AdbLocator::find({second, first}), second);
    EXPECT_EQ(AdbLocator::find({unsafe, root_ + "/none"}), std::nullopt);
    EXPECT_EQ(AdbLocator::find({}), std::nullopt);
}

TEST(AdbLocator, DefaultCandidatesAreTheLinuxPlaces) {
    EXPECT_EQ(AdbLocator::defaultCandidates("/home/ana"),
              (std::vector<std::string>{"/usr/bin/adb", "/usr/local/bin/adb",
                                        "/home/ana/Android/Sdk/platform-tools/adb"}));
    // No home, or a relative one, must not make a candidate relative to the working folder.
    for (const char* home : {"", "ana", "./x"}) {
        EXPECT_EQ(AdbLocator::defaultCandidates(home),
                  (std::vector<std::string>{"/usr/bin/adb", "/usr/local/bin/adb"}))
            << home;
    }
}

}  // namespace
}  // namespace velmora
