// The shell's delete and rename, on real files.
#include <gtest/gtest.h>

#include "patch/shell_file.h"
#include "test_support.h"

namespace {

TEST(ShellFileTest, DeletesAFileAndReportsAMissingOne) {
    TempDir dir;
    const std::string file = dir.path() + "\\with space.dat";
    ASSERT_TRUE(WriteSmallFile(file, "bytes"));

    EXPECT_TRUE(ShellDeleteFile(file));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>());
    EXPECT_FALSE(ShellDeleteFile(file));
}

TEST(ShellFileTest, RenamesAFileWithItsContent) {
    TempDir dir;
    const std::string from = dir.path() + "\\quick.bundle";
    const std::string to = dir.path() + "\\backup.dat";
    ASSERT_TRUE(WriteSmallFile(from, "old bundle"));

    EXPECT_TRUE(ShellRenameFile(from, to));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"backup.dat"});
    EXPECT_EQ(ReadSmallFile(to), "old bundle");
}

TEST(ShellFileTest, RenameOfAMissingFileFails) {
    TempDir dir;
    EXPECT_FALSE(ShellRenameFile(dir.path() + "\\absent", dir.path() + "\\other"));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>());
}

}  // namespace
