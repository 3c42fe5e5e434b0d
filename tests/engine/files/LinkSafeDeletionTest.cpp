#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "engine/files/CacheFolder.h"
#include "engine/files/FileOperator.h"
#include "engine/logs/LogCleanup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "support/InstalledClock.h"
#include "support/Trees.h"

namespace zov {
namespace {

using Tree = std::set<std::string>;

// Entries a clean-up would delete if it reached them: deletion markers, an empty folder, stamped backups,
// a dated folder and an old dated log.
const std::vector<std::string> kOutside = {
    "keep.txt",
    "keep.txtqel_temp_del~~~~",
    "empty/",
    "db_20240101000000.rar",
    "20240101000000.rar",
    "Work_20240101000000/20240101000000.rar",
    "2024-01-01.log",
    "2024-01-01/db_20240101000000.rar",
};

struct Case {
    const char* what;
    // Real entries below the program folder: a name ending in '/' is a folder, any other a file.
    std::vector<std::string> entries;
    // Links below the program folder, each to "outside" (a folder) or "outside.txt" (a file).
    std::vector<std::pair<std::string, std::string>> links;
    std::function<void(const std::string& program)> run;
    // The links the run removes (as links); every other link stays.
    std::vector<std::string> removed;
};

// Nothing reached through a link is ever deleted: each clean-up, expiry and delete either removes a
// planted link as a link or leaves it, and what it points to stays whole.
TEST(LinkSafeDeletion, NoCleanUpFollowsALink) {
    CFileOperator op;
    const Case cases[] = {
        {"ForceDelete of a link to a folder, named with a trailing '/'",
         {},
         {{"root/link", "outside"}},
         [&](const std::string& p) { EXPECT_EQ(op.ForceDelete(p + "root/link/"), 1); },
         {"root/link"}},
        {"ForceDelete of a link to a file",
         {},
         {{"root/file", "outside.txt"}},
         [&](const std::string& p) { EXPECT_EQ(op.ForceDelete(p + "root/file"), 1); },
         {"root/file"}},
        {"ForceDelete of a tree holding links",
         {"root/sub/"},
         {{"root/sub/link", "outside"}, {"root/file", "outside.txt"}},
         [&](const std::string& p) { EXPECT_EQ(op.ForceDelete(p + "root"), 1); },
         {"root/sub/link", "root/file"}},
        {"DeletePath of a link with a trailing '/'",
         {},
         {{"root/link", "outside"}},
         [&](const std::string& p) { EXPECT_TRUE(op.DeletePath(p + "root/link/", true)); },
         {"root/link"}},
        {"DeletePath of a tree holding links",
         {"root/a/b/"},
         {{"root/a/b/link", "outside"}, {"root/a/file", "outside.txt"}},
         [&](const std::string& p) { EXPECT_TRUE(op.DeletePath(p + "root/a", false)); },
         {"root/a/b/link", "root/a/file"}},
        {"RemoveEmptyFolders counts a link as a file",
         {"root/e1/", "root/e2/"},
         {{"root/e1/link", "outside"}, {"root/e2/file", "outside.txt"}},
         [&](const std::string& p) { EXPECT_EQ(op.RemoveEmptyFolders(p + "root"), 1); },
         {}},
        {"DeleteMarkedFiles does not enter a linked folder",
         {"root/a.txt"},
         {{"root/link", "outside"},
          {"root/x.txt", "outside.txt"},
          {"root/x.txtqel_temp_del~~~~", "outside.txt"}},
         [&](const std::string& p) { EXPECT_EQ(op.DeleteMarkedFiles(p + "root", true), 1); },
         {"root/x.txt", "root/x.txtqel_temp_del~~~~"}},
        {"DeleteReservedNames does not enter a linked folder",
         {"root/sub/"},
         {{"root/sub/link", "outside"}},
         [&](const std::string& p) { EXPECT_EQ(op.DeleteReservedNames(p + "root"), 1); },
         {}},
        {"DeleteExpiredSets leaves linked dated folders and linked entries",
         {"root/2024-03-02/", "root/2024-03-03/"},
         {{"root/2024-03-01", "outside"},
          {"root/2024-03-02/db_20240302000000.rar", "outside.txt"},
          {"root/2024-03-02/sub", "outside"},
          {"root/2024-03-03/db_20240303000000.rar", "outside.txt"},
          {"root/2024-03-03/db_20240303000001", "outside"}},
         [&](const std::string& p) { op.DeleteExpiredSets(p + "root/", 7); },
         // An expired dated folder goes whole, its links as links.
         {"root/2024-03-02/db_20240302000000.rar", "root/2024-03-02/sub"}},
        {"DeleteExpiredDiffSets leaves a linked diff folder",
         {},
         {{"root/diff", "outside"}},
         [&](const std::string& p) { op.DeleteExpiredDiffSets(p + "root/diff", 7, ""); },
         {}},
        {"DeleteExpiredDiffSets leaves linked set folders and entries",
         {"root/diff/Work_20240101000000/"},
         {{"root/diff/Work_20240102000000", "outside"},
          {"root/diff/Work_20240101000000/20240101000000.rar", "outside.txt"},
          {"root/diff/Work_20240101000000/20240101000001", "outside"}},
         [&](const std::string& p) { op.DeleteExpiredDiffSets(p + "root/diff", 7, ""); },
         {}},
        {"DeleteExpiredDiffSets on the storage leaves linked dated folders and entries",
         {"root/2024-03-03/"},
         {{"root/2024-03-01", "outside"},
          {"root/2024-03-03/Work_20240303000000.rar", "outside.txt"},
          {"root/2024-03-03/Work_20240303000001", "outside"}},
         [&](const std::string& p) { op.DeleteExpiredDiffSets(p + "root/", 7, p + "root/diff"); },
         {}},
        {"the start-up cache clean-up removes a leftover link as a link",
         {"cache/zovsvc_AAAAA/sub/"},
         {{"cache/zovsvc_link1", "outside"},
          {"cache/zovsvc_AAAAA/link", "outside"},
          {"cache/zovsvc_AAAAA/sub/file", "outside.txt"}},
         [](const std::string& p) {
             IniFile(TempIniPath()).Write("Path", "CACHE", p + "cache");
             CleanCacheFolder();
             for (int i = 0;
                  i < 500 && (PathExists(p + "cache/zovsvc_link1") || PathExists(p + "cache/zovsvc_AAAAA"));
                  ++i) {
                 std::this_thread::sleep_for(std::chrono::milliseconds(10));
             }
         },
         {"cache/zovsvc_link1", "cache/zovsvc_AAAAA/link", "cache/zovsvc_AAAAA/sub/file"}},
        {"the log clean-up deletes files only and uses no linked category folder",
         {"Log/MySQL/"},
         {{"Log/Files", "outside"},
          {"Log/2020-01-01.log", "outside.txt"},
          {"Log/MySQL/2020-01-01.log", "outside.txt"}},
         [](const std::string& p) {
             IniFile(ConfigIniPath()).Write("Dir", "LOG", p + "Log/");
             IniFile(ConfigIniPath()).Write("Save", "LOG", "3");
             CleanOldLogs();
         },
         {}},
    };
    for (const Case& c : cases) {
        test::TempProgramDir program;
        test::InstalledClock clock{MakeLocalTime(2024, 3, 10, 15, 0, 0)};
        const std::string p = program.path();
        for (const std::string& entry : kOutside) {
            if (entry.back() == '/') {
                test::MakeFolder(p + "outside/" + entry);
            } else {
                test::WriteFile(p + "outside/" + entry, "kept");
            }
        }
        test::WriteFile(p + "outside.txt", "kept");
        const Tree outside = test::DescribeTree(p + "outside");
        for (const std::string& entry : c.entries) {
            if (entry.back() == '/') {
                test::MakeFolder(p + entry);
            } else {
                test::WriteFile(p + entry, "x");
            }
        }
        for (const auto& [link, target] : c.links) {
            test::MakeFolder(p + link.substr(0, link.rfind('/')));
            ASSERT_EQ(::symlink((p + target).c_str(), (p + link).c_str()), 0) << c.what << ": " << link;
        }

        c.run(p);

        EXPECT_EQ(test::DescribeTree(p + "outside"), outside) << c.what;
        EXPECT_EQ(test::ReadFile(p + "outside.txt"), "kept") << c.what;
        for (const auto& [link, target] : c.links) {
            const bool removed = std::find(c.removed.begin(), c.removed.end(), link) != c.removed.end();
            EXPECT_EQ(PathExists(p + link), !removed) << c.what << ": " << link;
        }
    }
}

}  // namespace
}  // namespace zov
