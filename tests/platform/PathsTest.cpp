#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/Folders.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

TEST(PathsTest, CleanPathCollapsesAndTrimsSeparators) {
    struct Case {
        const char* path;
        const char* clean;
    } cases[] = {
        {"", ""},
        {"/", "/"},
        {"///", "/"},
        {"/data/", "/data"},
        {"/data//a/", "/data/a"},
        {"rel//x//", "rel/x"},
        {"/a/./b", "/a/./b"},
        {"a\\b", "a\\b"},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanPath(c.path), c.clean) << c.path;
}

TEST(PathsTest, IsAbsolutePathNeedsLeadingSlash) {
    EXPECT_TRUE(IsAbsolutePath("/"));
    EXPECT_TRUE(IsAbsolutePath("/data/x"));
    EXPECT_FALSE(IsAbsolutePath(""));
    EXPECT_FALSE(IsAbsolutePath("data/x"));
    EXPECT_FALSE(IsAbsolutePath("C:\\data"));
    EXPECT_FALSE(IsAbsolutePath(" /data"));
}

TEST(PathsTest, RelationIsComponentWise) {
    struct Case {
        const char* a;
        const char* b;
        PathRelation relation;
        bool aInsideB;
    } cases[] = {
        {"/data/a", "/data/a", PathRelation::Same, true},
        {"/data/a/", "/data//a", PathRelation::Same, true},
        {"/data/a/b", "/data/a", PathRelation::Nested, true},
        {"/data/a", "/data/a/b", PathRelation::Nested, false},
        {"/data/ab", "/data/a", PathRelation::Unrelated, false},
        {"/data/a", "/data/ab", PathRelation::Unrelated, false},
        {"/data/A", "/data/a", PathRelation::Unrelated, false},
        {"/x", "/", PathRelation::Nested, true},
        {"/", "/x", PathRelation::Nested, false},
        {"/", "//", PathRelation::Same, true},
        {"", "/data", PathRelation::Unrelated, false},
        {"", "", PathRelation::Unrelated, false},
        {"/data/a.b", "/data/a", PathRelation::Unrelated, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RelatePaths(c.a, c.b), c.relation) << c.a << " vs " << c.b;
        EXPECT_EQ(RelatePaths(c.b, c.a), c.relation) << c.b << " vs " << c.a;
        EXPECT_EQ(IsPathInside(c.a, c.b), c.aInsideB) << c.a << " inside " << c.b;
    }
}

TEST(PathsTest, JoinAndTrailingSlash) {
    EXPECT_EQ(JoinPath("/data", "x"), "/data/x");
    EXPECT_EQ(JoinPath("/data//", "/x/"), "/data/x/");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
    EXPECT_EQ(JoinPath("", "x"), "x");
    EXPECT_EQ(WithTrailingSlash(""), "");
    EXPECT_EQ(WithTrailingSlash("/"), "/");
    EXPECT_EQ(WithTrailingSlash("/data"), "/data/");
    EXPECT_EQ(WithTrailingSlash("/data///"), "/data/");
}

TEST(PathsTest, ListDirectorySortsByBytesAndSkipsDots) {
    test::TempProgramDir dir;
    for (const char* name : {"b", "a", "B", "\xE4\xB8\xAD", "a b", ".hidden"})
        test::WriteFile(dir / name, "x");
    ASSERT_TRUE(CreateFolderChain(dir / "Z"));
    std::vector<std::string> expected = {".hidden", "B", "Z", "a", "a b", "b", "\xE4\xB8\xAD"};
    EXPECT_EQ(ListDirectory(dir.path()), expected);
    EXPECT_TRUE(ListDirectory(dir / "missing").empty());
}

TEST(PathsTest, FileKindTests) {
    test::TempProgramDir dir;
    test::WriteFile(dir / "file", "x");
    ASSERT_EQ(symlink((dir / "missing").c_str(), (dir / "dangling").c_str()), 0);
    EXPECT_TRUE(IsRegularFile(dir / "file"));
    EXPECT_FALSE(IsDirectory(dir / "file"));
    EXPECT_TRUE(IsDirectory(dir.path()));
    EXPECT_FALSE(IsRegularFile(dir.path()));
    EXPECT_TRUE(PathExists(dir / "dangling"));
    EXPECT_FALSE(IsRegularFile(dir / "dangling"));
    EXPECT_FALSE(PathExists(dir / "missing"));
}

TEST(FoldersTest, CreatesChainAndRefusesFileInTheWay) {
    test::TempProgramDir dir;
    EXPECT_TRUE(CreateFolderChain(dir / "a/b//c/"));
    EXPECT_TRUE(IsDirectory(dir / "a/b/c"));
    EXPECT_TRUE(CreateFolderChain(dir / "a/b/c"));
    test::WriteFile(dir / "file", "x");
    EXPECT_FALSE(CreateFolderChain(dir / "file"));
    EXPECT_FALSE(CreateFolderChain(dir / "file/sub"));
    EXPECT_FALSE(CreateFolderChain(""));
}

TEST(FoldersTest, ConcurrentCreationSucceedsEverywhere) {
    test::TempProgramDir dir;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            if (!CreateFolderChain(dir / ("x/y/z/" + std::to_string(i % 2)))) ++failures;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(ProgramDirTest, NamedFolderGetsATrailingSlashAndEmptyReturnsToTheExecutables) {
    const std::string executable = ExecutablePath();
    ASSERT_TRUE(IsAbsolutePath(executable));
    const std::string executableFolder = executable.substr(0, executable.rfind('/') + 1);
    EXPECT_TRUE(IsDirectory(executableFolder));
    const std::string before = ProgramDir();
    {
        test::TempProgramDir dir;
        EXPECT_EQ(ProgramDir(), dir.path());
        EXPECT_EQ(NamedProgramDir(), dir.path());
        const struct {
            const char* named;
            std::string folder;
            bool isNamed;
        } cases[] = {
            {"/opt/zov", "/opt/zov/", true},
            {"/opt/zov//", "/opt/zov/", true},
            {"", executableFolder, false},
        };
        for (const auto& c : cases) {
            SetProgramDir(c.named);
            EXPECT_EQ(ProgramDir(), c.folder) << c.named;
            EXPECT_EQ(NamedProgramDir().has_value(), c.isNamed) << c.named;
        }
    }
    EXPECT_EQ(ProgramDir(), before);
}

// A fresh process: the environment at the first call names the folder, and a later change is not seen.
TEST(ProgramDirDeathTest, EnvironmentIsReadOnceAtTheFirstCall) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv(kProgramDirVariable, "/opt/zov", 1);
            const std::string first = ProgramDir();
            setenv(kProgramDirVariable, "/elsewhere", 1);
            const bool kept = ProgramDir() == first && NamedProgramDir() == first;
            unsetenv(kProgramDirVariable);
            std::exit(first == "/opt/zov/" && kept && ProgramDir() == first ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zov
