#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/files/FileOperator.h"
#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/Trees.h"

namespace zov {
namespace {

using test::MakeFolder;
using test::SetModifyTime;
using test::WriteFile;

class FileOperatorBaseTest : public ::testing::Test {
  protected:
    // An entry of the storage folder written at the given local time.
    void Entry(const std::string& path, std::time_t written) {
        if (path.back() == '/') {
            MakeFolder(storage + path);
        } else {
            WriteFile(storage + path, "x");
        }
        SetModifyTime(storage + path, written);
    }

    test::TempProgramDir dir;
    test::InstalledClock clock{MakeLocalTime(2024, 3, 10, 12, 0, 0)};
    const std::string storage = dir / "bak/";
    CFileOperator op;
};

TEST_F(FileOperatorBaseTest, NewestBaseOfTheItemWithinThePeriod) {
    Entry("2024-03-01/Work_20240301010000.rar", MakeLocalTime(2024, 3, 1, 1, 0, 0));
    Entry("2024-03-05/Work_20240305010000.part1.rar", MakeLocalTime(2024, 3, 5, 1, 0, 0));
    Entry("2024-03-05/Work_20240305010000.part2.rar", MakeLocalTime(2024, 3, 5, 1, 5, 0));
    Entry("2024-03-09/Work_old_20240309010000.rar", MakeLocalTime(2024, 3, 9, 1, 0, 0));
    Entry("2024-03-09/Work_20240309.rar", MakeLocalTime(2024, 3, 9, 1, 0, 0));
    Entry("2024-03-09/Work_20240309010000.txt", MakeLocalTime(2024, 3, 9, 1, 0, 0));
    Entry("backup/Work_20240309020000.rar", MakeLocalTime(2024, 3, 9, 2, 0, 0));
    Entry("Work_20240309030000.rar", MakeLocalTime(2024, 3, 9, 3, 0, 0));

    const struct {
        int periodDays;
        std::string base;
    } cases[] = {
        {30, storage + "2024-03-05/Work_20240305010000.part1.rar"},
        {6, storage + "2024-03-05/Work_20240305010000.part1.rar"},
        {5, ""},
        {0, ""},
        {-1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(op.FindBaseArchive(storage, "Work", c.periodDays), c.base) << c.periodDays;
    EXPECT_EQ(op.FindBaseArchive(storage, "Work_old", 30),
              storage + "2024-03-09/Work_old_20240309010000.rar");
    EXPECT_EQ(op.FindBaseArchive(storage, "Missing", 30), "");
    EXPECT_EQ(op.FindBaseArchive(dir / "none", "Work", 30), "");
}

TEST_F(FileOperatorBaseTest, CopiedBasesAreFolders) {
    Entry("2024-03-05/Work_20240305010000.RAR", MakeLocalTime(2024, 3, 5, 1, 0, 0));
    Entry("2024-03-08/Work_20240308010000/", MakeLocalTime(2024, 3, 8, 1, 0, 0));
    Entry("2024-03-08/Work_20240308020000/", MakeLocalTime(1970, 6, 1, 0, 0, 0));          // not after 1971
    Entry("2024-03-09/Work_20240309010000.partial/", MakeLocalTime(2024, 3, 9, 1, 0, 0));  // being written
    EXPECT_EQ(op.FindBaseArchive(storage, "Work", 7), storage + "2024-03-08/Work_20240308010000");
}

TEST_F(FileOperatorBaseTest, FoldersMadeArePrivateWhateverTheUmask) {
    const mode_t previous = ::umask(0);
    MakeFolder(dir / "shared");
    ::chmod((dir / "shared").c_str(), 0755);
    EXPECT_EQ(op.CreateFolder(dir / "shared/a/b//c/"), 1);
    EXPECT_TRUE(CFileOperator::MakePrivateFolder(dir / "one"));
    ::umask(previous);

    const struct {
        std::string path;
        mode_t mode;
    } cases[] = {
        {dir / "shared", 0755},       {dir / "shared/a", 0700}, {dir / "shared/a/b", 0700},
        {dir / "shared/a/b/c", 0700}, {dir / "one", 0700},
    };
    for (const auto& c : cases) {
        struct stat info {};
        ASSERT_EQ(::lstat(c.path.c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_mode & 07777, c.mode) << c.path;
    }
    EXPECT_FALSE(CFileOperator::MakePrivateFolder(dir / "one"));
    EXPECT_EQ(errno, EEXIST);
}

// The reason of a failed copy is the error number its text ends in, never a leftover errno.
TEST_F(FileOperatorBaseTest, ErrorNumberIsTheOneTheFailureReports) {
    WriteFile(dir / "src/a.txt", "alpha");
    WriteFile(dir / "file", "x");
    WriteFile(dir / "t/src", "x");
    const struct {
        std::string what, source, target, name;
        int number;
    } cases[] = {
        {"target below a file", dir / "src", dir / "file/below", "", ENOTDIR},
        {"a file where the copy goes", dir / "src", dir / "t", "", ENOTDIR},
        {"bad name ending in digits", dir / "src", dir / "out", "a/28", 0},
        {"source missing", dir / "none", dir / "out", "", 0},
        {"target inside the source", dir / "src", dir / "src/bak", "", 0},
    };
    for (const auto& c : cases) {
        CFileOperator files;
        errno = EIO;
        EXPECT_EQ(files.CopyFolder(c.source, c.target, c.name, true, false), 0) << c.what;
        EXPECT_EQ(files.errorNumber(), c.number) << c.what << ": " << files.error();
    }
}

}  // namespace
}  // namespace zov
