#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <stop_token>

#include "engine/files/CopyOperations.h"
#include "engine/files/FileOperator.h"
#include "engine/util/CommonFiles.h"
#include "platform/Paths.h"
#include "support/NobodyChild.h"
#include "support/Trees.h"

namespace zov {
namespace {

using test::DescribeTree;
using test::MakeFolder;
using test::WriteFile;
using Tree = std::set<std::string>;

class CopyOperationsTest : public ::testing::Test {
  protected:
    test::TempProgramDir dir;
    const std::string src = dir / "src";
    const std::string bak = dir / "bak";
    std::string message;
};

TEST_F(CopyOperationsTest, AnEmptyFolderIsCopiedWithoutMakingTheTarget) {
    MakeFolder(src);
    EXPECT_TRUE(CopyFolderTree(src, bak, message));
    EXPECT_FALSE(PathExists(bak));
    EXPECT_FALSE(CopyFolderTree(dir / "none", bak, message));
    EXPECT_EQ(message, "复制操作时5，源目录" + dir / "none" + "无效。");
}

TEST_F(CopyOperationsTest, EachFormNamesItselfWhenTheSourceIsInvalid) {
    const std::string none = dir / "none";
    FilterSet filter;
    EXPECT_FALSE(CopyFolderTreeFiltered(none, bak, filter, message));
    EXPECT_EQ(message, "复制操作时1，源目录" + none + "无效。");
    EXPECT_FALSE(CopyChangedTree(none, bak, dir / "base", message));
    EXPECT_EQ(message, "复制操作时2，源目录" + none + "无效。");
    EXPECT_FALSE(CopyChangedTreeFiltered(none, bak, dir / "base", filter, message));
    EXPECT_EQ(message, "复制操作时3，源目录" + none + "无效。");
    WriteFile(dir / "file", "x");
    MakeFolder(src);
    WriteFile(src + "/a", "a");
    EXPECT_FALSE(CopyChangedTree(src, dir / "file/below", dir / "base", message));
    EXPECT_EQ(message, "复制操作时，存储目录无效");
    EXPECT_FALSE(CopyFolderTree(src, dir / "file/below", message));
    EXPECT_EQ(message.rfind("复制操作时，存储目录" + dir / "file/below" + "无效，错误号（", 0), 0u);
    EXPECT_FALSE(CopyFolderTree(src, src + "/inner", message));
    EXPECT_FALSE(PathExists(src + "/inner"));
}

// A stopped job's copy ends before its next entry: here the first one.
TEST_F(CopyOperationsTest, EveryTreeCopyEndsOnTheJobsStop) {
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/sub/b.txt", "b");
    MakeFolder(dir / "base");
    std::stop_source stop;
    stop.request_stop();
    const FilterSet filter{true, {"*.doc"}};
    using Copy = std::function<bool(const std::string& target)>;
    const Copy copies[] = {
        [&](const std::string& target) { return CopyFolderTree(src, target, message, stop.get_token()); },
        [&](const std::string& target) {
            return CopyFolderTreeFiltered(src, target, filter, message, stop.get_token());
        },
        [&](const std::string& target) {
            return CopyChangedTree(src, target, dir / "base", message, stop.get_token());
        },
        [&](const std::string& target) {
            return CopyChangedTreeFiltered(src, target, dir / "base", filter, message, stop.get_token());
        },
    };
    int form = 0;
    for (const Copy& copy : copies) {
        const std::string target = bak + std::to_string(++form);
        message.clear();
        EXPECT_FALSE(copy(target)) << form;
        EXPECT_EQ(message, "复制操作已停止") << form;
        EXPECT_EQ(DescribeTree(target), Tree{}) << form;
    }
}

TEST_F(CopyOperationsTest, AFailedEntryFailsTheTreeCopy) {
    WriteFile(src + "/a.txt", "a");
    WriteFile(src + "/sub/b.txt", "b");
    WriteFile(src + "/z.txt", "z");
    MakeFolder(bak + "/sub/b.txt");
    EXPECT_FALSE(CopyFolderTree(src, bak, message));
    EXPECT_EQ(message, "复制文件" + src + "/sub/b.txt时，发生错误，错误号：" + std::to_string(EISDIR));
    EXPECT_EQ(DescribeTree(bak), (Tree{"a.txt=a", "sub/", "sub/b.txt/", "z.txt=z"}));
}

// Full copy, differential copy, then the restore: base and set copied back, markers applied.
TEST_F(CopyOperationsTest, RestoringABaseAndItsDifferentialSetGivesTheCurrentSource) {
    WriteFile(src + "/keep.txt", "k");
    WriteFile(src + "/change.txt", "old");
    WriteFile(src + "/sub/drop.txt", "d");
    WriteFile(src + "/drop.txt", "d");
    const std::string base = bak + "/base";
    ASSERT_TRUE(CopyFolderTree(src, base, message)) << message;

    WriteFile(src + "/change.txt", "new");
    WriteFile(src + "/sub/add.txt", "a");
    std::filesystem::remove(src + "/drop.txt");
    std::filesystem::remove(src + "/sub/drop.txt");
    const std::string set = bak + "/diff";
    ASSERT_TRUE(CopyChangedTree(src, set, base, message)) << message;
    EXPECT_EQ(DescribeTree(set), (Tree{"change.txt=new", "drop.txtqel_temp_del~~~~=", "sub/", "sub/add.txt=a",
                                       "sub/drop.txtqel_temp_del~~~~="}));

    const std::string restored = dir / "restored";
    ASSERT_TRUE(CopyFolderTree(base, restored, message)) << message;
    ASSERT_TRUE(CopyFolderTree(set, restored, message)) << message;
    ASSERT_EQ(CFileOperator().DeleteMarkedFiles(restored, true), 1);
    EXPECT_EQ(DescribeTree(restored), DescribeTree(src));
}

TEST_F(CopyOperationsTest, FilteredTreeCopiesTestEveryLevelAlike) {
    WriteFile(src + "/a.tmp", "1");
    WriteFile(src + "/a.txt", "2");
    WriteFile(src + "/cache/b.txt", "3");
    WriteFile(src + "/sub/c.tmp", "4");
    WriteFile(src + "/sub/cache/d.txt", "5");
    FilterSet filter;
    filter.Add("*.tmp");
    filter.Add("cache");
    ASSERT_TRUE(CopyFolderTreeFiltered(src, bak, filter, message)) << message;
    EXPECT_EQ(DescribeTree(bak), (Tree{"a.txt=2", "sub/"}));

    const std::string base = dir / "base";
    WriteFile(base + "/a.txt", "2");
    WriteFile(base + "/gone.txt", "g");
    ASSERT_TRUE(CopyChangedTreeFiltered(src, dir / "set", base, filter, message)) << message;
    EXPECT_EQ(DescribeTree(dir / "set"), (Tree{"gone.txtqel_temp_del~~~~=", "sub/"}));
}

TEST_F(CopyOperationsTest, FilterNameTest) {
    const struct {
        bool exclude;
        std::vector<std::string> items;
        std::string name;
        bool passes;
    } cases[] = {
        {false, {"*.doc", "*.xls"}, "report.xls", true},
        {false, {"*.doc", "*.xls"}, "notes.txt", false},
        {true, {"*.doc", "*.xls"}, "notes.txt", true},
        {true, {"*.doc", "*.xls"}, "report.xls", false},
        {false, {"*.doc"}, "REPORT.DOC", true},
        {false, {"*.doc"}, "", false},
        {true, {"*.doc"}, "", false},
        {false, {}, "a.txt", false},
        {true, {}, "a.txt", true},
        {false, {"*.*"}, "Makefile", true},
        {false, {"a*c*e"}, "abcde", true},
        {false, {"a*c*e"}, "abcd", false},
        {false, {"*.doc; *.xls"}, "b.xls", true},
        {false, {"data"}, "database", false},
    };
    for (const auto& c : cases) {
        FilterSet filter;
        filter.exclude = c.exclude;
        for (const std::string& item : c.items) filter.Add(item);
        EXPECT_EQ(FilterNamePasses(filter, c.name), c.passes) << c.name << " " << c.exclude;
    }
}

TEST_F(CopyOperationsTest, SameFileTest) {
    WriteFile(src + "/a.txt", "content");
    WriteFile(bak + "/a.txt", "content");
    WriteFile(bak + "/b.txt", "contenT");
    WriteFile(bak + "/c.txt", "longer content");
    // The same bytes made private, or given to another owner or group (the owner counts for root only).
    WriteFile(bak + "/private.txt", "content");
    ::chmod((bak + "/private.txt").c_str(), 0600);
    WriteFile(bak + "/owned.txt", "content");
    const bool root = ::geteuid() == 0;
    if (root) ::chown((bak + "/owned.txt").c_str(), 0, 65534);
    MakeFolder(bak + "/folder");
    // Large files that differ only past the first read chunk, or only in their last byte.
    const std::string big(600 * 1024, 'x');
    std::string late = big;
    late[300 * 1024] = 'y';
    std::string last = big;
    last.back() = 'z';
    WriteFile(src + "/big", big);
    WriteFile(bak + "/big", big);
    WriteFile(bak + "/late", late);
    WriteFile(bak + "/last", last);
    WriteFile(src + "/empty", "");
    WriteFile(bak + "/empty", "");
    WriteFile(bak + "/locked", "content");
    ::chmod((bak + "/locked").c_str(), 0);
    const struct {
        std::string a;
        std::string b;
        bool same;
    } cases[] = {
        {dir / "none1", dir / "none2", true},
        {src + "/a.txt", dir / "none", false},
        {dir / "none", src + "/a.txt", false},
        {src + "/a.txt", bak + "/folder", false},
        {bak + "/folder", bak + "/folder", false},
        {src + "/a.txt", bak + "/a.txt", true},
        {src + "/a.txt", bak + "/b.txt", false},
        {src + "/a.txt", bak + "/c.txt", false},
        {src + "/big", bak + "/big", true},
        {src + "/big", bak + "/late", false},
        {src + "/big", bak + "/last", false},
        {src + "/empty", bak + "/empty", true},
        {src + "/a.txt", bak + "/private.txt", false},
        {src + "/a.txt", bak + "/owned.txt", !root},
    };
    for (const auto& c : cases) EXPECT_EQ(IsSameFile(c.a, c.b), c.same) << c.a << " " << c.b;
    // An unreadable file never counts as unchanged (as nobody: root reads everything).
    EXPECT_TRUE(test::AsNobody([&] { return !FilesHaveSameContent(src + "/a.txt", bak + "/locked"); }));
}

}  // namespace
}  // namespace zov
