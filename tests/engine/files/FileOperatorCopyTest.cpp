#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <thread>
#include <vector>

#include "OverlongPathTree.h"
#include "engine/files/FileOperator.h"
#include "platform/Paths.h"
#include "support/Trees.h"

namespace zov {
namespace {

using test::DescribeFiles;
using test::DescribeTree;
using test::MakeFolder;
using test::WriteFile;
using Tree = std::set<std::string>;

class FileOperatorCopyTest : public ::testing::Test {
  protected:
    test::TempProgramDir dir;
    const std::string src = dir / "src";
    const std::string bak = dir / "bak";
    CFileOperator op;
};

TEST_F(FileOperatorCopyTest, CopyFolderKeepsTreeLinksAndAttributes) {
    WriteFile(src + "/Data/a.txt", "alpha");
    WriteFile(src + "/Data/sub/b.txt", "beta");
    MakeFolder(src + "/Data/empty");
    ASSERT_EQ(::symlink("a.txt", (src + "/Data/near").c_str()), 0);
    ASSERT_EQ(::symlink("/etc", (src + "/Data/outside").c_str()), 0);
    ::chmod((src + "/Data/a.txt").c_str(), 0640);
    test::SetModifyTime(src + "/Data/a.txt", 1700000000);
    test::SetModifyTime(src + "/Data/sub", 1600000000);

    ASSERT_EQ(op.CopyFolder(src + "/Data/", bak, "", true, false), 1) << op.error();

    EXPECT_EQ(DescribeTree(bak), (Tree{"Data/", "Data/a.txt=alpha", "Data/empty/", "Data/near->a.txt",
                                       "Data/outside->/etc", "Data/sub/", "Data/sub/b.txt=beta"}));
    struct stat copied {};
    ASSERT_EQ(::stat((bak + "/Data/a.txt").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, 0640u);
    EXPECT_EQ(copied.st_mtime, 1700000000);
    EXPECT_EQ(test::ModifyTime(bak + "/Data/sub"), 1600000000);
}

// A copied tree, its top folder included, keeps the modes, owners and times of the source.
TEST_F(FileOperatorCopyTest, CopiedTreeKeepsModesOwnersAndTimes) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    struct Entry {
        const char* path;  // below src; a trailing '/' makes a folder, "->" a link
        mode_t mode;       // ignored for links
        bool nobodysOwn;
        std::time_t mtime;
    };
    // Folders after their contents, so that their times stick.
    const Entry entries[] = {
        {"Top/a.txt", 0640, true, 1600000001},      {"Top/run.sh", 04755, false, 1600000002},
        {"Top/shared/x", 0444, true, 1600000003},   {"Top/shared/", 02775, true, 1600000004},
        {"Top/private/s", 0600, false, 1600000005}, {"Top/private/", 0700, false, 1600000006},
        {"Top/link->a.txt", 0, true, 1600000007},   {"Top/", 0751, true, 1600000008},
    };
    for (const Entry& e : entries) {
        const std::string text = e.path;
        if (text.find("->") != std::string::npos) continue;
        if (text.back() == '/') {
            MakeFolder(src + "/" + text);
        } else {
            WriteFile(src + "/" + text, text);
        }
    }
    ASSERT_EQ(::symlink("a.txt", (src + "/Top/link").c_str()), 0);
    for (const Entry& e : entries) {
        std::string path = src + "/" + e.path;
        path = path.substr(0, path.find("->"));
        const uid_t uid = e.nobodysOwn ? nobody->pw_uid : 0;
        const gid_t gid = e.nobodysOwn ? nobody->pw_gid : 0;
        ASSERT_EQ(::lchown(path.c_str(), uid, gid), 0) << path;
        if (std::string(e.path).find("->") == std::string::npos) {
            ASSERT_EQ(::chmod(path.c_str(), e.mode), 0);
        }
        test::SetModifyTime(path, e.mtime);
    }

    ASSERT_EQ(op.CopyFolder(src + "/Top", bak, "", true, false), 1) << op.error();

    for (const Entry& e : entries) {
        std::string relative = e.path;
        relative = relative.substr(0, relative.find("->"));
        struct stat original {};
        struct stat copied {};
        ASSERT_EQ(::lstat((src + "/" + relative).c_str(), &original), 0) << relative;
        ASSERT_EQ(::lstat((bak + "/" + relative).c_str(), &copied), 0) << relative;
        EXPECT_EQ(copied.st_mode, original.st_mode) << relative;
        EXPECT_EQ(copied.st_uid, original.st_uid) << relative;
        EXPECT_EQ(copied.st_gid, original.st_gid) << relative;
        EXPECT_EQ(copied.st_mtim.tv_sec, e.mtime) << relative;
        EXPECT_EQ(copied.st_mtim.tv_nsec, original.st_mtim.tv_nsec) << relative;
    }
}

TEST_F(FileOperatorCopyTest, LargeAndEmptyFilesKeepTheirContent) {
    std::string large(9u << 20, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7919 % 251);
    WriteFile(src + "/large.bin", large);
    WriteFile(src + "/empty", "");
    ASSERT_EQ(op.CopyFolder(src, bak, "", false, false), 1) << op.error();
    EXPECT_TRUE(test::ReadFile(bak + "/large.bin") == large);
    EXPECT_EQ(DescribeFiles(bak).count("empty="), 1u);
}

TEST_F(FileOperatorCopyTest, TargetFolderFollowsNameAndSourceNameFlags) {
    WriteFile(src + "/Data/a.txt", "a");
    const struct {
        std::string name;
        bool useSourceName;
        std::string expected;
    } cases[] = {
        {"named", false, "named/a.txt=a"},
        {"named", true, "named/a.txt=a"},
        {"", true, "Data/a.txt=a"},
        {"", false, "a.txt=a"},
    };
    for (const auto& c : cases) {
        const std::string target = dir / ("t-" + c.name + std::to_string(c.useSourceName));
        ASSERT_EQ(op.CopyFolder(src + "/Data", target, c.name, c.useSourceName, false), 1) << op.error();
        EXPECT_EQ(DescribeFiles(target), Tree{c.expected}) << c.name << c.useSourceName;
    }
}

TEST_F(FileOperatorCopyTest, AFileSourceIsCopiedIntoTheTarget) {
    WriteFile(src + "/hosts", "127.0.0.1");
    ASSERT_EQ(op.CopyFolder(src + "/hosts", bak + "/hosts_20240305140709", "", true, false), 1) << op.error();
    EXPECT_EQ(DescribeFiles(bak), Tree{"hosts_20240305140709/hosts=127.0.0.1"});
}

TEST_F(FileOperatorCopyTest, RefusedCopiesCreateNothing) {
    WriteFile(src + "/Data/a.txt", "a");
    const std::string data = src + "/Data";
    const struct {
        std::string source;
        std::string target;
        std::string name;
        std::string error;
    } cases[] = {
        {dir / "missing", bak, "", "不合法的参数：复制操作时源文件夹 " + dir / "missing" + " 不存在"},
        {data, data + "/bak", "",
         "复制操作时源文件夹 " + data + " 和目标文件夹 " + data + "/bak 相同或为其子目录"},
        {data, src + "//./Data/", "",
         "复制操作时源文件夹 " + data + " 和目标文件夹 " + src + "//./Data/ 相同或为其子目录"},
        {data, src, "Data",
         "复制操作时源文件夹 " + data + " 和目标文件夹 " + src + "/Data/ 相同或为其子目录"},
        {data, bak, "a/b", "复制操作时，不合法的文件（夹）名: a/b"},
        {data, bak, "..", "复制操作时，不合法的文件（夹）名: .."},
        {data, "relative/bak", "", "复制操作时目标文件夹 relative/bak 不存在且创建失败，错误代码："},
    };
    for (const auto& c : cases) {
        CFileOperator refused;
        EXPECT_EQ(refused.CopyFolder(c.source, c.target, c.name, false, false), 0) << c.target;
        EXPECT_EQ(refused.error().substr(0, c.error.size()), c.error);
    }
    EXPECT_FALSE(PathExists(bak));
    EXPECT_EQ(DescribeFiles(src), Tree{"Data/a.txt=a"});
}

TEST_F(FileOperatorCopyTest, AFailedEntryInTheMiddleFailsTheCopyButNotTheWalk) {
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/b.txt", "b");
    WriteFile(src + "/c.txt", "c");
    MakeFolder(bak + "/b.txt");  // a folder where the file should go

    EXPECT_EQ(op.CopyFolder(src, bak, "", false, false), 0);
    EXPECT_EQ(op.error(), "复制文件" + src + "/b.txt时，发生错误，错误号：" + std::to_string(EISDIR));
    EXPECT_EQ(DescribeTree(bak), (Tree{"a.txt=a", "b.txt/", "c.txt=c"}));
}

TEST_F(FileOperatorCopyTest, AnEntryThatCannotBeExaminedFailsTheCopy) {
    const std::string root = dir / std::string(200, 's');
    const test::OverlongPathFile file(root);
    EXPECT_EQ(op.CopyFolder(root, bak, "", false, false), 0);
    EXPECT_NE(op.error().find(file.name()), std::string::npos) << op.error();
}

TEST_F(FileOperatorCopyTest, FailIfExistsLeavesExistingFilesAlone) {
    WriteFile(src + "/a.txt", "new");
    WriteFile(bak + "/a.txt", "old");
    EXPECT_EQ(op.CopyFolder(src, bak, "", false, true), 0);
    EXPECT_EQ(DescribeFiles(bak), Tree{"a.txt=old"});
    EXPECT_EQ(op.CopyFolder(src, bak, "", false, false), 1) << op.error();
    EXPECT_EQ(DescribeFiles(bak), Tree{"a.txt=new"});
}

TEST_F(FileOperatorCopyTest, PendingDeletionsInASourceAreNotCopied) {
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/gone.txtqel_temp_del~~~~", "");
    WriteFile(src + "/sub/x.docqel_temp_del~~~~", "");
    ASSERT_EQ(op.CopyFolder(src, bak, "", false, false), 1) << op.error();
    EXPECT_EQ(DescribeTree(bak), (Tree{"a.txt=a", "sub/"}));
}

TEST_F(FileOperatorCopyTest, FilteredCopies) {
    WriteFile(src + "/docs/report.doc", "r");
    WriteFile(src + "/docs/notes.txt", "n");
    WriteFile(src + "/tmp/cache.doc", "c");
    WriteFile(src + "/temp/x/y.txt", "y");
    WriteFile(src + "/top.doc", "d");
    WriteFile(src + "/top.TXT", "t");
    const struct {
        bool exclude;
        std::vector<std::string> items;
        bool pass;
        Tree copied;
    } cases[] = {
        {true, {"*.doc"}, false, {"docs/notes.txt=n", "temp/x/y.txt=y", "top.TXT=t"}},
        {true,
         {"tmp"},
         false,
         {"docs/notes.txt=n", "docs/report.doc=r", "temp/x/y.txt=y", "top.TXT=t", "top.doc=d"}},
        {true,
         {"*/temp/*"},
         false,
         {"docs/notes.txt=n", "docs/report.doc=r", "tmp/cache.doc=c", "top.TXT=t", "top.doc=d"}},
        {true, {"*.doc"}, true, {"docs/notes.txt=n", "temp/x/y.txt=y", "top.TXT=t", "top.doc=d"}},
        {false, {"*.doc"}, false, {"docs/report.doc=r", "tmp/cache.doc=c", "top.doc=d"}},
        {false, {"*.txt"}, false, {"docs/notes.txt=n", "temp/x/y.txt=y", "top.TXT=t"}},
        {false, {"docs"}, false, {"docs/notes.txt=n", "docs/report.doc=r"}},
        {false,
         {"*.doc"},
         true,
         {"docs/notes.txt=n", "docs/report.doc=r", "temp/x/y.txt=y", "tmp/cache.doc=c", "top.TXT=t",
          "top.doc=d"}},
        {false, {}, false, {}},
        {true,
         {},
         false,
         {"docs/notes.txt=n", "docs/report.doc=r", "temp/x/y.txt=y", "tmp/cache.doc=c", "top.TXT=t",
          "top.doc=d"}},
    };
    int number = 0;
    for (const auto& c : cases) {
        FilterSet filter;
        filter.exclude = c.exclude;
        for (const std::string& item : c.items) filter.Add(item);
        const std::string target = dir / ("filtered" + std::to_string(number++));
        ASSERT_EQ(op.CopyFolderFiltered(src, target, "", false, filter, c.pass, false), 1) << op.error();
        EXPECT_EQ(DescribeFiles(target), c.copied) << "case " << number;
    }
}

TEST_F(FileOperatorCopyTest, DifferentialCopyWritesChangesAndDeletionMarkers) {
    const std::string base = dir / "base";
    WriteFile(base + "/same.txt", "1");
    WriteFile(base + "/changed.txt", "2");
    WriteFile(base + "/gone.txt", "3");
    WriteFile(base + "/sub/kept.txt", "4");
    WriteFile(base + "/sub/old.txt", "5");
    WriteFile(base + "/oldsub/x.txt", "6");
    ASSERT_EQ(::symlink("same.txt", (base + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("same.txt", (base + "/moved").c_str()), 0);
    WriteFile(src + "/same.txt", "1");
    WriteFile(src + "/changed.txt", "3");  // same size, other content
    WriteFile(src + "/new.txt", "n");
    WriteFile(src + "/sub/kept.txt", "4");
    WriteFile(src + "/sub/new2.txt", "m");
    WriteFile(src + "/stale.txtqel_temp_del~~~~", "");
    ASSERT_EQ(::symlink("same.txt", (src + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("new.txt", (src + "/moved").c_str()), 0);
    const Tree sourceBefore = DescribeTree(src);

    ASSERT_EQ(op.CopyChanged(src, bak, base, "20240305140709", false, false), 1) << op.error();

    EXPECT_EQ(DescribeTree(bak + "/20240305140709"),
              (Tree{"changed.txt=3", "gone.txtqel_temp_del~~~~=", "moved->new.txt", "new.txt=n",
                    "oldsubqel_temp_del~~~~=", "sub/", "sub/new2.txt=m", "sub/old.txtqel_temp_del~~~~="}));
    EXPECT_EQ(DescribeTree(src), sourceBefore);
}

TEST_F(FileOperatorCopyTest, FilteredDifferentialCopy) {
    const std::string base = dir / "base";
    WriteFile(base + "/a.doc", "1");
    WriteFile(base + "/gone.doc", "2");
    WriteFile(src + "/a.doc", "11");
    WriteFile(src + "/b.txt", "b");
    WriteFile(src + "/c.doc", "c");
    FilterSet filter;
    filter.exclude = false;
    filter.Add("*.doc");
    ASSERT_EQ(op.CopyChangedFiltered(src, bak, base, "", false, filter, false, false), 1) << op.error();
    EXPECT_EQ(DescribeFiles(bak), (Tree{"a.doc=11", "c.doc=c", "gone.docqel_temp_del~~~~="}));
}

TEST_F(FileOperatorCopyTest, DifferentialChecksUseTheirOwnTexts) {
    WriteFile(src + "/a.txt", "a");
    EXPECT_EQ(op.CopyChanged(dir / "none", bak, dir / "base", "", false, false), 0);
    EXPECT_EQ(op.error(), "复制文件操作是，源文件（夹）" + dir / "none" + "不存在");
    FilterSet filter;
    EXPECT_EQ(op.CopyChangedFiltered(dir / "none", bak, dir / "base", "", false, filter, false, false), 0);
    EXPECT_EQ(op.error(), "复制操作时，源文件（夹） " + dir / "none" + " 不存在");
    EXPECT_EQ(op.CopyChanged(src, src + "/in", dir / "base", "", false, false), 0);
    EXPECT_EQ(op.error(), "复制操作时，目标文件夹 " + src + "/in 和源文件夹 " + src + " 存在所属关系");
}

TEST_F(FileOperatorCopyTest, CopyItemCopiesFilesAndFolders) {
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/sub/b.txt", "b");
    EXPECT_EQ(op.CopyItem("", bak), -1);
    EXPECT_EQ(op.error(), "复制文件（夹）时参数错误");
    EXPECT_EQ(op.CopyItem(src + "/none", bak), -1);
    EXPECT_EQ(op.error(), "复制文件时源文件（夹） " + src + "/none不存在");
    EXPECT_EQ(op.CopyItem(src + "/a.txt", bak + "/x/y"), -1);  // one level only
    EXPECT_EQ(op.CopyItem(src + "/a.txt", bak), 1) << op.error();
    EXPECT_EQ(op.CopyItem(src + "/sub/", bak), 1) << op.error();
    EXPECT_EQ(DescribeTree(bak), (Tree{"a.txt=a", "sub/", "sub/b.txt=b"}));
    EXPECT_EQ(op.CopyItem(src + "/a.txt", src), 0);  // onto itself
    EXPECT_EQ(op.CopyItem(src, src + "/sub"), 0);    // into itself
    EXPECT_EQ(DescribeFiles(src), (Tree{"a.txt=a", "sub/b.txt=b"}));
}

TEST_F(FileOperatorCopyTest, CopySelectedFoldersTakesListedNames) {
    WriteFile(src + "/Docs/a.txt", "a");
    WriteFile(src + "/Other/b.txt", "b");
    WriteFile(src + "/Docs.txt", "c");
    ASSERT_EQ(op.CopySelectedFolders(src, bak, {"docs", "missing"}, false), 1) << op.error();
    EXPECT_EQ(DescribeFiles(bak), Tree{"Docs/a.txt=a"});
    EXPECT_EQ(op.CopySelectedFolders(src, src + "/Docs", {"Other"}, false), 0);
}

TEST_F(FileOperatorCopyTest, CreateFolderResults) {
    WriteFile(dir / "file", "x");
    EXPECT_EQ(op.CreateFolder("relative/folder"), -1);
    EXPECT_EQ(op.CreateFolder(dir.path()), 1);
    EXPECT_EQ(op.CreateFolder(dir / "a//b/c/"), 1);
    EXPECT_TRUE(IsDirectory(dir / "a/b/c"));
    EXPECT_EQ(op.CreateFolder(dir / "file"), 0);
    EXPECT_EQ(op.CreateFolder(dir / "file/below"), 0);
}

TEST_F(FileOperatorCopyTest, ThreadsCreatingTheSameChainAllSucceed) {
    for (int round = 0; round < 20; ++round) {
        const std::string chain = dir / ("r" + std::to_string(round) + "/a/b/c/d/e/f");
        std::vector<int> results(8, -2);
        std::vector<std::thread> threads;
        for (int& result : results) {
            threads.emplace_back([&chain, &result] { result = CFileOperator().CreateFolder(chain); });
        }
        for (std::thread& thread : threads) thread.join();
        for (int result : results) EXPECT_EQ(result, 1) << chain;
    }
}

}  // namespace
}  // namespace zov
