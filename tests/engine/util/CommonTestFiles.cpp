#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "engine/filter/CommonFilter.h"
#include "engine/util/CommonFiles.h"
#include "platform/Clock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using Names = std::vector<std::string>;

TEST(CommonFiles, ReadTextFile) {
    test::TempProgramDir program;
    test::WriteFile(program / "my.cnf", "[mysqld]\r\ndatadir=/var/lib/mysql\nport=3306");
    struct Case {
        bool keep;
        std::string text;
    };
    const Case cases[] = {
        {true, "[mysqld]\ndatadir=/var/lib/mysql\nport=3306\n"},
        {false, "[mysqld]datadir=/var/lib/mysqlport=3306"},
    };
    for (const Case& c : cases) {
        std::string text = "old";
        EXPECT_TRUE(ReadTextFile(text, program / "my.cnf", c.keep));
        EXPECT_EQ(text, c.text);
    }
    std::string untouched = "old";
    EXPECT_FALSE(ReadTextFile(untouched, program / "missing", true));
    EXPECT_FALSE(ReadTextFile(untouched, program.path(), true));
    EXPECT_EQ(untouched, "old");
}

TEST(CommonFiles, ReadFileToBuffer) {
    test::TempProgramDir program;
    test::WriteFile(program / "data", "abcdef");
    char buffer[8];
    EXPECT_TRUE(ReadFileToBuffer(program / "data", buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("abcdef\0\0", 8));
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_TRUE(ReadFileToBuffer(program / "data", small, 3));
    EXPECT_EQ(std::string(small, 4), "abcx");
    EXPECT_FALSE(ReadFileToBuffer(program / "missing", buffer, sizeof buffer));
    EXPECT_FALSE(ReadFileToBuffer(program / "data", nullptr, 4));
}

TEST(CommonFiles, GetFileModifyTime) {
    test::TempProgramDir program;
    test::WriteFile(program / "f", "x");
    const std::time_t stamp = MakeLocalTime(2023, 6, 7, 8, 9, 10);
    const std::filesystem::file_time_type when =
        std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(stamp));
    std::filesystem::last_write_time(program / "f", when);
    EXPECT_EQ(GetFileModifyTime(program / "f"), stamp);
    EXPECT_EQ(GetFileModifyTime(program / "missing"), MakeLocalTime(1972, 1, 1));
}

TEST(CommonFiles, FolderQueries) {
    test::TempProgramDir program;
    std::filesystem::create_directories(program / "empty");
    std::filesystem::create_directories(program / "dirs/a/b");
    std::filesystem::create_directories(program / "dirs/c");
    test::WriteFile(program / "full/sub/file", "x");
    std::filesystem::create_directories(program / "loop/x");
    std::filesystem::create_directory_symlink(program / "loop", program / "loop/x/up");
    test::WriteFile(program / "plain", "x");

    struct Case {
        std::string folder;
        bool empty, withoutFiles;
    };
    const Case cases[] = {
        {"empty", true, true},  {"dirs", false, true},   {"full", false, false},
        {"loop", false, false}, {"plain", false, false}, {"missing", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsFolderEmpty(program / c.folder), c.empty) << c.folder;
        EXPECT_EQ(IsTreeWithoutFiles(program / c.folder), c.withoutFiles) << c.folder;
    }
}

// With no file descriptor left, no folder can be opened: such a folder must never look empty, or clean-ups
// would delete what it holds.
TEST(CommonFiles, AFolderThatCannotBeReadIsNeverEmpty) {
    test::TempProgramDir program;
    test::WriteFile(program / "kept/sub/file", "x");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit none{0, 0};
        setrlimit(RLIMIT_NOFILE, &none);
        const bool looksEmpty = IsFolderEmpty(program / "kept") || IsTreeWithoutFiles(program / "kept");
        _exit(looksEmpty ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(CommonFiles, ListSubfoldersSkipsDotNamesAndFiles) {
    test::TempProgramDir program;
    for (const char* folder : {"src/b", "src/a", "src/.hidden"})
        std::filesystem::create_directories(program / folder);
    test::WriteFile(program / "src/file", "x");
    Names names{"stale"};
    EXPECT_EQ(ListSubfolders(program / "src", names), 2u);
    EXPECT_EQ(names, (Names{"a", "b"}));
    EXPECT_EQ(ListSubfolders(program / "src/file", names), 0u);
    EXPECT_TRUE(names.empty());
}

TEST(CommonFiles, DeleteFoldersDeletesOnlyFolders) {
    test::TempProgramDir program;
    test::WriteFile(program / "a/deep/file", "x");
    test::WriteFile(program / "file", "x");
    std::filesystem::create_directories(program / "kept");
    std::filesystem::create_directory_symlink(program / "kept", program / "link");
    DeleteFolders({program / "a", program / "file", program / "link", program / "missing"});
    EXPECT_FALSE(std::filesystem::exists(program / "a"));
    EXPECT_TRUE(std::filesystem::exists(program / "file"));
    EXPECT_FALSE(std::filesystem::is_symlink(program / "link"));
    EXPECT_TRUE(std::filesystem::is_directory(program / "kept"));
}

TEST(CommonFilter, FilterPasses) {
    test::TempProgramDir program;
    test::WriteFile(program / "report.XLS", "x");
    test::WriteFile(program / "notes.txt", "x");
    test::WriteFile(program / "README", "x");
    std::filesystem::create_directories(program / "Temp");

    FilterSet listed;
    listed.Add("*.xls");
    listed.Add("*/temp");
    struct Case {
        std::string path;
        bool takenWhenOnlyListed, takenWhenExcluded;
    };
    const Case cases[] = {
        {"report.XLS", true, false}, {"notes.txt", false, true}, {"README", false, true},
        {"Temp", true, false},       {"Temp/", true, false},     {"missing.xls", false, false},
    };
    for (const Case& c : cases) {
        listed.exclude = false;
        EXPECT_EQ(FilterPasses(program / c.path, listed), c.takenWhenOnlyListed) << c.path;
        listed.exclude = true;
        EXPECT_EQ(FilterPasses(program / c.path, listed), c.takenWhenExcluded) << c.path;
    }
    FilterSet none;
    none.exclude = false;
    EXPECT_TRUE(FilterPasses(program / "notes.txt", none));
    EXPECT_FALSE(FilterPasses(program / "missing", none));
    EXPECT_TRUE(FilterPasses("/", listed));
}

}  // namespace
}  // namespace zov
