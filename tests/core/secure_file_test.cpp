#include "core/storage/secure_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/storage/app_paths.h"
#include "file_helpers.h"
#include "temp_data_home.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Inspection = SecureFile::Inspection;
using test::entriesIn;
using test::modeOf;
using test::readFile;
using test::writeFile;

class SecureFileTest : public ::testing::Test {
  protected:
    test::TempDataHome home;
    fs::path dir = home.root();
};

TEST_F(SecureFileTest, InspectByModeAndMask) {
    struct Case {
        mode_t mode;
        bool ownerOnly;
        Inspection expected;
    };
    const Case cases[] = {
        {0600, true, Inspection::ok},      {0400, true, Inspection::ok},  {0640, true, Inspection::unsafe},
        {0604, true, Inspection::unsafe},  {0644, false, Inspection::ok}, {0664, false, Inspection::unsafe},
        {0646, false, Inspection::unsafe}, {0640, false, Inspection::ok},
    };
    for (const Case& c : cases) {
        const fs::path file = dir / "f";
        writeFile(file, "x", c.mode);
        EXPECT_EQ(SecureFile::inspect(file, c.ownerOnly), c.expected)
            << std::oct << c.mode << " " << c.ownerOnly;
    }
    EXPECT_EQ(SecureFile::inspect(dir / "absent", true), Inspection::missing);
}

TEST_F(SecureFileTest, LinksFoldersAndOtherTypesAreUnsafe) {
    writeFile(dir / "target", "x", 0600);
    fs::create_symlink(dir / "target", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_directory(dir / "folder");
    ::mkfifo((dir / "fifo").c_str(), 0600);
    for (const char* name : {"link", "dangling", "folder", "fifo"}) {
        EXPECT_EQ(SecureFile::inspect(dir / name, false), Inspection::unsafe) << name;
    }
    // A path through a regular file cannot be examined (ENOTDIR): unsafe, never "missing".
    EXPECT_EQ(SecureFile::inspect(dir / "target" / "x", false), Inspection::unsafe);
}

TEST_F(SecureFileTest, ForeignOwnerIsUnsafeAndNeverTightened) {
    const fs::path file = dir / "foreign";
    writeFile(file, "x", 0644);
    if (::chown(file.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a file away";
    EXPECT_EQ(SecureFile::inspect(file, false), Inspection::unsafe);
    SecureFile::tighten(file, 0600);
    EXPECT_EQ(modeOf(file), 0644u);
}

TEST_F(SecureFileTest, TightenChangesOwnFilesButNotThroughLinks) {
    writeFile(dir / "own", "x", 0644);
    SecureFile::tighten(dir / "own", 0600);
    EXPECT_EQ(modeOf(dir / "own"), 0600u);

    writeFile(dir / "target", "x", 0644);
    fs::create_symlink(dir / "target", dir / "link");
    SecureFile::tighten(dir / "link", 0600);
    EXPECT_EQ(modeOf(dir / "target"), 0644u);
    SecureFile::tighten(dir / "absent", 0600);  // no effect, no error
}

TEST_F(SecureFileTest, AtomicWriteCreatesPrivateFileAndLeavesNoTemporary) {
    const fs::path file = dir / "peers.json";
    const Bytes data = {'[', ']'};
    ASSERT_TRUE(SecureFile::writeAtomically(data, file, 0600));
    EXPECT_EQ(readFile(file), "[]");
    EXPECT_EQ(modeOf(file), 0600u);

    writeFile(file, "old contents, longer", 0600);
    ASSERT_TRUE(SecureFile::writeAtomically(Bytes{'n', 'e', 'w'}, file, 0600));
    EXPECT_EQ(readFile(file), "new");
    EXPECT_EQ(entriesIn(dir), 1);
}

TEST_F(SecureFileTest, AtomicWriteReplacesALinkAndNeverWritesItsTarget) {
    writeFile(dir / "target", "precious", 0644);
    fs::create_symlink(dir / "target", dir / "peers.json");
    ASSERT_TRUE(SecureFile::writeAtomically(Bytes{'[', ']'}, dir / "peers.json", 0600));
    EXPECT_FALSE(fs::is_symlink(dir / "peers.json"));
    EXPECT_EQ(readFile(dir / "peers.json"), "[]");
    EXPECT_EQ(readFile(dir / "target"), "precious");
}

TEST_F(SecureFileTest, FailedWriteKeepsTheOldFileAndRemovesTheTemporary) {
    EXPECT_FALSE(SecureFile::writeAtomically(Bytes{'x'}, dir / "missing-folder" / "f", 0600));
    // The target is a non-empty folder: the rename fails after the data was written.
    fs::create_directories(dir / "busy" / "inside");
    EXPECT_FALSE(SecureFile::writeAtomically(Bytes{'x'}, dir / "busy", 0600));
    EXPECT_TRUE(fs::is_directory(dir / "busy" / "inside"));
    EXPECT_EQ(entriesIn(dir), 1);
}

TEST(AppPaths, SupportFolderIsPrivateAndRepairedOnEveryUse) {
    test::TempDataHome home;
    const fs::path dir = AppPaths::supportDir();
    EXPECT_EQ(dir, home.supportDir());
    EXPECT_EQ(modeOf(dir), 0700u);
    ::chmod(dir.c_str(), 0755);
    EXPECT_EQ(AppPaths::supportDir(), dir);
    EXPECT_EQ(modeOf(dir), 0700u);
}

TEST(AppPaths, RelativeDataHomeIsIgnored) {
    test::TempDataHome home;
    ::setenv("HOME", home.root().c_str(), 1);
    ::setenv("XDG_DATA_HOME", "relative/place", 1);
    EXPECT_EQ(AppPaths::supportDir(), home.root() / ".local" / "share" / "Corvix");
    EXPECT_TRUE(fs::is_directory(home.root() / ".local" / "share" / "Corvix"));
}

}  // namespace
}  // namespace velmora
