#include <gtest/gtest.h>
#include <unistd.h>

#include "OverlongPathTree.h"
#include "engine/files/FileOperator.h"
#include "engine/logs/QelLog.h"
#include "engine/util/Md5.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "support/InstalledClock.h"
#include "support/Trees.h"

namespace zov {
namespace {

using test::DescribeTree;
using test::MakeFolder;
using test::WriteFile;
using Tree = std::set<std::string>;

class FileOperatorDeleteTest : public ::testing::Test {
  protected:
    static std::string InterfaceLog() {
        CQelLog where;
        where.SetCategory(kLogInterface);
        return test::ReadFile(where.GetLogPath());
    }

    test::TempProgramDir dir;
    test::InstalledClock clock{MakeLocalTime(2024, 3, 10, 15, 0, 0)};
    const std::string root = dir / "root";
    CFileOperator op;
};

TEST_F(FileOperatorDeleteTest, DeletePathWritesOneInterfaceRecord) {
    WriteFile(root + "/set/a.txt", "a");
    ASSERT_TRUE(op.DeletePath(root + "/set/", true));
    EXPECT_FALSE(PathExists(root + "/set"));
    EXPECT_FALSE(op.DeletePath(root + "/.", true));
    EXPECT_EQ(InterfaceLog(), "界面操作\t2024-03-10 15:00:00\t0\t自动任务\t删除文件\t---\t" + root +
                                  "/set\t0秒\t成功\t---\n"
                                  "界面操作\t2024-03-10 15:00:00\t0\t自动任务\t删除文件\t---\t" +
                                  root + "/.\t0秒\t失败\t删除失败，Shell错误码（" + std::to_string(EPERM) +
                                  "）\n");
}

TEST_F(FileOperatorDeleteTest, DeletePathOfAMissingPathFailsWithoutRecord) {
    EXPECT_FALSE(op.DeletePath(root + "/none", true));
    EXPECT_EQ(op.error(), "删除文件(夹)时，目标文件（夹） " + root + "/none 不存在");
    EXPECT_EQ(InterfaceLog(), "");
}

TEST_F(FileOperatorDeleteTest, DeletionsRemoveLinksNotWhatTheyPointTo) {
    WriteFile(root + "/kept/a.txt", "a");
    ASSERT_EQ(::symlink((root + "/kept").c_str(), (root + "/link").c_str()), 0);
    EXPECT_EQ(op.ForceDelete(root + "/link/"), 1);
    EXPECT_EQ(op.ForceDelete(root + "/link"), 0);
    EXPECT_EQ(op.ForceDelete(root + "/kept/."), 0);
    EXPECT_FALSE(op.DeletePath(root + "/kept/..", false));
    EXPECT_EQ(DescribeTree(root), (Tree{"kept/", "kept/a.txt=a"}));
    EXPECT_EQ(op.ForceDelete(root + "/kept"), 1);
    EXPECT_EQ(DescribeTree(root), Tree{});
}

TEST_F(FileOperatorDeleteTest, RemoveEmptyFoldersKeepsEveryFile) {
    MakeFolder(root + "/e1/e2/e3");
    MakeFolder(root + "/full/empty");
    WriteFile(root + "/full/a.txt", "a");
    WriteFile(root + "/deep/x/y/z.txt", "z");
    MakeFolder(root + "/deep/x/none");
    ASSERT_EQ(::symlink("a.txt", (root + "/full/empty/link").c_str()), 0);
    MakeFolder(root + "/full/gone/gone");

    ASSERT_EQ(op.RemoveEmptyFolders(root), 1) << op.error();
    EXPECT_EQ(DescribeTree(root), (Tree{"deep/", "deep/x/", "deep/x/y/", "deep/x/y/z.txt=z", "full/",
                                        "full/a.txt=a", "full/empty/", "full/empty/link->a.txt"}));

    MakeFolder(root + "/only/empty");
    ASSERT_EQ(op.RemoveEmptyFolders(root + "/only"), 1);
    EXPECT_FALSE(PathExists(root + "/only"));
    EXPECT_EQ(op.RemoveEmptyFolders(root + "/none"), 0);
    EXPECT_EQ(op.error(), "清除空文件夹时，指定的文件夹路径 " + root + "/none 不存在");
}

TEST_F(FileOperatorDeleteTest, DeleteMarkedFiles) {
    const std::string longName(250, 'n');
    const auto build = [&] {
        WriteFile(root + "/a.txt", "a");
        WriteFile(root + "/a.txtqel_temp_del~~~~", "");
        WriteFile(root + "/b.txt", "b");
        WriteFile(root + "/sub/c.txt", "c");
        WriteFile(root + "/sub/c.txtqel_temp_del~~~~", "");
        WriteFile(root + "/sub/d.txtqel_temp_del~~~~", "");
        WriteFile(root + "/qel_temp_del~~~~", "");
        MakeFolder(root + "/gone");
        WriteFile(root + "/gone/x", "x");
        WriteFile(root + "/goneqel_temp_del~~~~", "");
        WriteFile(root + "/" + longName, "l");
        WriteFile(root + "/" + Md5Hex(longName).substr(0, 32) + "qel_long_del~~~~", longName);
    };
    build();
    ASSERT_EQ(op.DeleteMarkedFiles(root, false), 1);
    EXPECT_EQ(DescribeTree(root), (Tree{"a.txt=a", "b.txt=b", "gone/", "gone/x=x",
                                        "qel_temp_del~~~~=", "sub/", "sub/c.txt=c", longName + "=l"}));

    std::filesystem::remove_all(root);
    build();
    ASSERT_EQ(op.DeleteMarkedFiles(root, true), 1);
    EXPECT_EQ(DescribeTree(root), (Tree{"b.txt=b", "qel_temp_del~~~~=", "sub/"}));
}

// The walk goes folder by folder through descriptors, so a marker whose full path is too long for a path
// call is still reached.
TEST_F(FileOperatorDeleteTest, AMarkerBeyondThePathLimitIsRemoved) {
    const test::OverlongPathFile marker(root, "qel_temp_del~~~~");
    EXPECT_EQ(op.DeleteMarkedFiles(root, false), 1);
    EXPECT_FALSE(marker.Exists());
}

TEST_F(FileOperatorDeleteTest, NoNameIsReservedOnLinux) {
    for (const char* name : {"con", "aux.txt", "Lpt1", "name.", "name ", " "})
        WriteFile(root + "/" + name, "x");
    const Tree before = DescribeTree(root);
    EXPECT_EQ(op.DeleteReservedNames(root), 1);
    EXPECT_EQ(DescribeTree(root), before);
    EXPECT_EQ(op.DeleteReservedNames(root + "/none"), 0);
}

}  // namespace
}  // namespace zov
