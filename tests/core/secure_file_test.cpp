#include "core/storage/secure_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/storage/app_paths.h"
#include "helpers.h"
#include "temp_data_home.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Inspection = SecureFile::Inspection;
using test::modeOf;
using test::readFile;
using test::writeFile;

class SecureFileTest : public ::testing::Test {
  protected:
    test::TempDataHome home;
    fs::path dir = home.root();
};

TEST_F(SecureFileTest, InspectByModeMaskAndType) {
    const std::tuple<mode_t, bool, Inspection> cases[] = {
        {0400, true, Inspection::ok},  {0640, true, Inspection::unsafe},  {0604, true, Inspection::unsafe},
        {0644, false, Inspection::ok}, {0664, false, Inspection::unsafe}, {0646, false, Inspection::unsafe},
    };
    for (const auto& [mode, ownerOnly, expected] : cases) {
        writeFile(dir / "f", "x", mode);
        EXPECT_EQ(SecureFile::inspect(dir / "f", ownerOnly), expected)
            << std::oct << mode << " " << ownerOnly;
    }
    EXPECT_EQ(SecureFile::inspect(dir / "absent", true), Inspection::missing);
    fs::create_symlink(dir / "f", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_directory(dir / "folder");
    ::mkfifo((dir / "fifo").c_str(), 0600);
    // A path through a regular file cannot be examined (ENOTDIR): unsafe, never "missing".
    for (const fs::path& path :
         {dir / "link", dir / "dangling", dir / "folder", dir / "fifo", dir / "f" / "x"})
        EXPECT_EQ(SecureFile::inspect(path, false), Inspection::unsafe) << path;
}

TEST_F(SecureFileTest, TightenChangesOwnFilesButNotThroughLinksNorAnotherUsers) {
    writeFile(dir / "own", "x", 0644);
    SecureFile::tighten(dir / "own", 0600);
    EXPECT_EQ(modeOf(dir / "own"), 0600u);
    writeFile(dir / "target", "x", 0644);
    fs::create_symlink(dir / "target", dir / "link");
    SecureFile::tighten(dir / "link", 0600);
    EXPECT_EQ(modeOf(dir / "target"), 0644u);
    SecureFile::tighten(dir / "absent", 0600);  // no effect, no error

    if (::chown((dir / "target").c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "needs root to give a file away";
    EXPECT_EQ(SecureFile::inspect(dir / "target", false), Inspection::unsafe);
    SecureFile::tighten(dir / "target", 0600);
    EXPECT_EQ(modeOf(dir / "target"), 0644u);
}

TEST_F(SecureFileTest, AtomicWriteMakesAPrivateFileReplacesALinkNotItsTargetAndLeavesNoTemporary) {
    const fs::path file = dir / "peers.json";
    writeFile(dir / "target", "precious", 0644);
    fs::create_symlink(dir / "target", file);
    ASSERT_TRUE(SecureFile::writeAtomically(Bytes{'[', ']'}, file, 0600));
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(readFile(file), "[]");
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_EQ(readFile(dir / "target"), "precious");
    ASSERT_TRUE(SecureFile::writeAtomically(Bytes{'n'}, file, 0600));
    EXPECT_EQ(readFile(file), "n");
    EXPECT_EQ(test::entriesIn(dir), 2);

    EXPECT_FALSE(SecureFile::writeAtomically(Bytes{'x'}, dir / "missing-folder" / "f", 0600));
    // The target is a non-empty folder: the rename fails after the data was written.
    fs::create_directories(dir / "busy" / "inside");
    EXPECT_FALSE(SecureFile::writeAtomically(Bytes{'x'}, dir / "busy", 0600));
    EXPECT_TRUE(fs::is_directory(dir / "busy" / "inside"));
    EXPECT_EQ(test::entriesIn(dir), 3);
}

TEST(AppPaths, SupportFolderIsPrivateRepairedOnEveryUseAndNeverRelative) {
    test::TempDataHome home;
    const fs::path dir = AppPaths::supportDir();
    EXPECT_EQ(dir, home.supportDir());
    EXPECT_EQ(modeOf(dir), 0700u);
    ::chmod(dir.c_str(), 0755);
    EXPECT_EQ(AppPaths::supportDir(), dir);
    EXPECT_EQ(modeOf(dir), 0700u);

    ::setenv("HOME", home.root().c_str(), 1);
    ::setenv("XDG_DATA_HOME", "relative/place", 1);
    EXPECT_EQ(AppPaths::supportDir(), home.root() / ".local" / "share" / "Corvix");
}

}  // namespace
}  // namespace velmora
