#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/util/CommonPaths.h"
#include "engine/util/CommonSystem.h"
#include "platform/Shell.h"
#include "support/RecordingShell.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

TEST(CommonPaths, NormalizeDirAppendsOneSlashAndKeepsBackslashes) {
    struct Case {
        std::string in, dir, dirStd;
    };
    const Case cases[] = {
        {"", "", "/"},
        {"/data", "/data/", "/data/"},
        {"/data/", "/data/", "/data/"},
        {"/a\\b", "/a\\b/", "/a\\b/"},
        {"/", "/", "/"},
    };
    for (const Case& c : cases) {
        std::string dir = c.in;
        NormalizeDir(dir);
        EXPECT_EQ(dir, c.dir) << c.in;
        std::string dirStd = c.in;
        NormalizeDirStd(dirStd);
        EXPECT_EQ(dirStd, c.dirStd) << c.in;
    }
}

TEST(CommonPaths, GetParentFolder) {
    test::TempProgramDir program;
    struct Case {
        std::string in, parent;
    };
    const Case cases[] = {
        {"/srv/data/file.txt", "/srv/data/"},
        {"/srv/data/", "/srv/"},
        {"/srv", "/"},
        {"/", "/"},
        {"/srv/data//", "/srv/data/"},
        {"a/b", "a/"},
        // Without a separator the text is kept whole.
        {"name", "name/"},
        {"name/", "name/"},
    };
    for (const Case& c : cases) EXPECT_EQ(GetParentFolder(c.in), c.parent) << c.in;
    std::string expected = program.path();
    expected.pop_back();
    EXPECT_EQ(GetParentFolder(""), expected.substr(0, expected.rfind('/') + 1));
}

TEST(CommonPaths, ComparePathsIsComponentWiseAndExact) {
    struct Case {
        std::string a, b;
        int relation;
    };
    const Case cases[] = {
        {"/srv/Data", "/srv/Data/", 2},
        {"/srv//Data", "/srv/Data", 2},
        {"/srv/data", "/srv/data/sub", 1},
        {"/srv/data/sub", "/srv/data", 1},
        {"/srv/dat", "/srv/data", 0},
        {"/srv/Data", "/srv/data", 0},
        {"/srv/data", "", 0},
        {"", "", 0},
        {"/", "/srv", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(ComparePaths(c.a, c.b), c.relation) << c.a << " | " << c.b;
}

TEST(CommonPaths, IsPathWithin) {
    struct Case {
        std::string inner, outer;
        bool within;
    };
    const Case cases[] = {
        {"/srv/data/sub", "/srv/data", true},
        {"/srv/data/", "/srv/data", true},
        {"/srv/database", "/srv/data", false},
        {"/srv", "/srv/data", false},
        {"", "/srv", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsPathWithin(c.inner, c.outer), c.within) << c.inner << " in " << c.outer;
}

TEST(CommonPaths, NoNameIsReservedOnLinux) {
    for (const char* name : {"CON", "con.txt", "Lpt1", "com9.log", "name.", "name ", " ", "console"}) {
        EXPECT_FALSE(IsReservedName(name)) << name;
    }
}

TEST(CommonPaths, FileExistsAndPathIsKind) {
    test::TempProgramDir program;
    test::WriteFile(program / "file.txt", "x");
    EXPECT_TRUE(FileExists(program / "file.txt"));
    EXPECT_TRUE(FileExists(program.path()));
    EXPECT_FALSE(FileExists(program / "missing"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(PathIsKind(program / "file.txt", false));
    EXPECT_FALSE(PathIsKind(program / "file.txt", true));
    EXPECT_TRUE(PathIsKind(program.path(), true));
    EXPECT_FALSE(PathIsKind(program / "missing", false));
}

TEST(CommonSystem, OpenFolderOpensOnlyFoldersThroughTheShell) {
    test::TempProgramDir program;
    test::WriteFile(program / "file.txt", "x");
    RecordingShell shell;
    SetShell(&shell);
    EXPECT_TRUE(OpenFolder(program.path()));
    EXPECT_FALSE(OpenFolder(program / "file.txt"));
    EXPECT_FALSE(OpenFolder(program / "missing"));
    SetShell(nullptr);
    EXPECT_EQ(shell.Opened(), std::vector<std::string>{program.path()});
    EXPECT_FALSE(IsWow64());
}

// The system shell runs the xdg-open of the search path and tells its failure (an opener that goes on
// running: tests/platform/ShellTest.cpp).
TEST(CommonSystem, SystemShellRunsXdgOpenFromThePath) {
    test::TempProgramDir program;
    test::WriteFile(program / "bin/xdg-open",
                    "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/opened\"\n[ \"$1\" != /nowhere ]\n");
    std::filesystem::permissions(program / "bin/xdg-open", std::filesystem::perms::owner_all);
    const std::string path = getenv("PATH");
    setenv("PATH", (program / "bin:" + path).c_str(), 1);
    EXPECT_TRUE(CurrentShell().Open(program.path()));
    EXPECT_EQ(test::ReadFile(program / "bin/opened"), program.path() + "\n");
    EXPECT_FALSE(CurrentShell().Open("/nowhere"));
    setenv("PATH", path.c_str(), 1);
}

}  // namespace
}  // namespace zov
