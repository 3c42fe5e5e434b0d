#include <gtest/gtest.h>
#include <unistd.h>

#include "engine/files/FileOperator.h"
#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/Trees.h"

namespace zov {
namespace {

using test::DescribeTree;
using test::MakeFolder;
using test::WriteFile;
using Tree = std::set<std::string>;

// Keep days 7 at 2024-03-10 15:00:00: the cutoff is 2024-03-03 15:00:00.
class FileOperatorExpiryTest : public ::testing::Test {
  protected:
    void Build(const std::vector<std::string>& entries) {
        for (const std::string& entry : entries) {
            if (entry.back() == '/') {
                MakeFolder(storage + entry);
            } else {
                WriteFile(storage + entry, "x");
            }
        }
    }

    // Both calls of the expired-backup thread for a file task.
    void ExpireFileTask(int keepDays) {
        op.DeleteExpiredDiffSets(storage + "diff", keepDays, "");
        op.DeleteExpiredDiffSets(storage, keepDays, storage + "diff");
    }

    test::TempProgramDir dir;
    test::InstalledClock clock{MakeLocalTime(2024, 3, 10, 15, 0, 0)};
    const std::string storage = dir / "bak/";
    CFileOperator op;
};

TEST_F(FileOperatorExpiryTest, DatabaseSetsExpireByDayAndStamp) {
    Build({"2024-03-01/db_20240301010000.rar", "2024-03-02/", "2024-03-03/db_20240303140000.rar",
           "2024-03-03/db_20240303100000.part1.rar", "2024-03-03/db_20240303100000.part2.rar",
           "2024-03-03/db_20240303160000.rar", "2024-03-03/notes.txt", "2024-03-03/old_20240301010000/",
           "2024-03-04/db_20240304010000.rar", "2024-1-1/db_20230101010000.rar",
           "backup/db_20230101010000.rar", "db_20230101010000.rar"});

    op.DeleteExpiredSets(storage, 0);
    op.DeleteExpiredSets(storage, -1);
    EXPECT_EQ(DescribeTree(storage).size(), 17u);

    op.DeleteExpiredSets(storage, 7);
    EXPECT_EQ(DescribeTree(storage),
              (Tree{"2024-03-03/", "2024-03-03/db_20240303160000.rar=x", "2024-03-03/notes.txt=x",
                    "2024-03-03/old_20240301010000/", "2024-03-04/", "2024-03-04/db_20240304010000.rar=x",
                    "2024-1-1/", "2024-1-1/db_20230101010000.rar=x", "backup/",
                    "backup/db_20230101010000.rar=x", "db_20230101010000.rar=x"}));
}

TEST_F(FileOperatorExpiryTest, TheCutoffDayFolderGoesWhenEmptied) {
    Build({"2024-03-03/db_20240303140000.part1.rar", "2024-03-03/db_20240303140000.part2.rar"});
    op.DeleteExpiredSets(storage, 7);
    EXPECT_EQ(DescribeTree(storage), Tree{});
}

TEST_F(FileOperatorExpiryTest, FullBackupsOfAFileTask) {
    Build({"2024-03-01/Work_20240301010000.rar", "2024-03-01/Work_20240301020000/Work/a.txt",
           "2024-03-03/Work_20240303140000.part1.rar", "2024-03-03/Work_20240303140000.part2.rar",
           "2024-03-03/Work_20240303160000.rar", "2024-03-03/Work_20240303200000/Work/a.txt",
           "2024-03-09/Work_20240309010000.rar", "2024-1-1/", "loose.rar"});
    ExpireFileTask(0);
    EXPECT_EQ(DescribeTree(storage).size(), 16u);

    ExpireFileTask(7);
    EXPECT_EQ(DescribeTree(storage),
              (Tree{"2024-03-03/", "2024-03-03/Work_20240303160000.rar=x", "2024-03-03/Work_20240303200000/",
                    "2024-03-03/Work_20240303200000/Work/", "2024-03-03/Work_20240303200000/Work/a.txt=x",
                    "2024-03-09/", "2024-03-09/Work_20240309010000.rar=x", "2024-1-1/", "loose.rar=x"}));
}

TEST_F(FileOperatorExpiryTest, ABaseAndAllItsVolumesStayWhileItsDifferentialSetsDo) {
    Build({// a compressed base in volumes with an old and a recent differential archive
           "2024-02-20/Work_20240220010000.part1.rar", "2024-02-20/Work_20240220010000.part2.rar",
           "diff/Work_20240220010000/20240225010000.rar", "diff/Work_20240220010000/20240305010000.part1.rar",
           "diff/Work_20240220010000/20240305010000.part2.rar",
           // a name holding ".part" that is not a volume suffix
           "2024-02-21/my.party_20240221010000.rar", "diff/my.party_20240221010000/20240309010000.rar",
           // a copied base whose differential copies are all old
           "2024-02-22/Old_20240222010000/Old/a.txt", "diff/Old_20240222010000/20240222010000/",
           "diff/Old_20240222010000/20240223010000/Old/b.txt",
           // a full backup without differential sets, and an unrelated folder of the diff folder
           "2024-02-22/Other_20240222020000.rar", "diff/notes/20240101010000.rar"});

    ExpireFileTask(7);
    EXPECT_EQ(DescribeTree(storage),
              (Tree{"2024-02-20/", "2024-02-20/Work_20240220010000.part1.rar=x",
                    "2024-02-20/Work_20240220010000.part2.rar=x", "2024-02-21/",
                    "2024-02-21/my.party_20240221010000.rar=x", "diff/", "diff/Work_20240220010000/",
                    "diff/Work_20240220010000/20240305010000.part1.rar=x",
                    "diff/Work_20240220010000/20240305010000.part2.rar=x", "diff/my.party_20240221010000/",
                    "diff/my.party_20240221010000/20240309010000.rar=x", "diff/notes/",
                    "diff/notes/20240101010000.rar=x"}));

    // A week later the last differential archives expire and their bases go with them.
    clock.Set(MakeLocalTime(2024, 3, 20, 15, 0, 0));
    ExpireFileTask(7);
    EXPECT_EQ(DescribeTree(storage), (Tree{"diff/", "diff/notes/", "diff/notes/20240101010000.rar=x"}));
}

// A diff or dated folder planted as a link is never entered. With the diff folder a link, expiry cannot
// tell which bases its sets still need, so the storage keeps every backup.
TEST_F(FileOperatorExpiryTest, LinkedDiffAndDatedFoldersAreNeverUsed) {
    const std::string outside = dir / "outside/";
    WriteFile(outside + "Work_20240220010000/20240225010000.rar", "x");
    WriteFile(outside + "Old_20240101010000.rar", "x");
    const Tree outsideBefore = DescribeTree(outside);
    Build({"2024-02-20/Work_20240220010000.rar"});
    ASSERT_EQ(::symlink(outside.c_str(), (storage + "diff").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (storage + "2024-02-21").c_str()), 0);

    ExpireFileTask(7);
    EXPECT_EQ(DescribeTree(outside), outsideBefore);
    EXPECT_EQ(DescribeTree(storage), (Tree{"2024-02-20/", "2024-02-20/Work_20240220010000.rar=x",
                                           "2024-02-21->" + outside, "diff->" + outside}));
}

}  // namespace
}  // namespace zov
