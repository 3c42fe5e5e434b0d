#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(RarPrivacy, ArchivesAndTheirFoldersAreTheOwnersOnly) {
    TempProgramDir dir;
    WriteFile(dir / "Data/open.txt", "open");
    WriteFile(dir / "Data/big.bin", RandomBytes(2'500'000, 3));
    chmod((dir / "Data/open.txt").c_str(), 0666);
    chmod((dir / "Data/big.bin").c_str(), 0777);
    chmod((dir / "Data").c_str(), 0777);
    ChildSetup openUmask;
    openUmask.umask = 0;
    struct Case {
        std::vector<std::string> volumeSwitch;
        std::string archive;  // the argument, relative to dir
        std::string prefix;   // the files written start with it
        std::size_t files;
    };
    const Case cases[] = {
        {{}, "new/one/a.rar", "a.rar", 1},
        {{"-v1m"}, "new/vol/v.rar", "v.part", 3},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"a", "-r", "-ep1", "-inul"};
        args.insert(args.end(), c.volumeSwitch.begin(), c.volumeSwitch.end());
        args.insert(args.end(), {"--", dir / c.archive, dir / "Data"});
        const RarRun run = RunRar(args, openUmask);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const std::string folder = std::filesystem::path(dir / c.archive).parent_path().string();
        const std::vector<std::string> written = FilesStartingWith(folder, c.prefix);
        EXPECT_EQ(written.size(), c.files) << c.archive;
        for (const std::string& file : written) EXPECT_EQ(ModeOf(folder + "/" + file), 0600u) << file;
        EXPECT_EQ(ModeOf(folder), 0700u) << folder;
    }
    EXPECT_EQ(ModeOf(dir / "new"), 0700u);
}

TEST(RarPrivacy, AnotherUserCannotReadTheArchiveOfAPrivateTree) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as nobody";
    TempProgramDir dir;
    WriteFile(dir / "Private/secret.txt", "root only");
    chmod((dir / "Private/secret.txt").c_str(), 0600);
    chmod((dir / "Private").c_str(), 0700);
    std::filesystem::create_directories(dir / "store");
    WriteFile(dir / "store/open.txt", "anyone");
    chmod((dir / "store/open.txt").c_str(), 0644);
    chmod(dir.path().c_str(), 0755);
    chmod((dir / "store").c_str(), 0755);

    const RarRun run = RunRar({"a", "-r", "-ep1", "-inul", "--", dir / "store/p.rar", dir / "Private"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(NobodyCanRead(dir / "store/open.txt"));  // the way there is open
    EXPECT_FALSE(NobodyCanRead(dir / "store/p.rar"));
}

// The -x@ list names folders to leave out: by what they are on disk, never as masks.
TEST(RarLeftOut, ListedFoldersGoWithTheirTreeAndNothingElse) {
    TempProgramDir dir;
    const std::string data = dir / "Data";
    for (const char* file : {"keep.txt", "b?k/old.rar", "b?k/deep/older.rar", "bak/kept.txt", "b*k[1]/x.rar",
                             "bxk[1]/kept.txt", "sub/inner.txt"}) {
        WriteFile(data + "/" + file, file);
    }
    std::filesystem::create_directory_symlink(data + "/b?k", dir / "link");
    struct Case {
        const char* name;
        std::string lines;
        std::set<std::string> gone;  // stored names that must be missing
    };
    const std::set<std::string> questionTree{"Data/b?k", "Data/b?k/old.rar", "Data/b?k/deep",
                                             "Data/b?k/deep/older.rar"};
    const Case cases[] = {
        {"a name with a question mark", data + "/b?k\n", questionTree},
        {"a name with a star and brackets", data + "/b*k[1]\n", {"Data/b*k[1]", "Data/b*k[1]/x.rar"}},
        {"another spelling", data + "/sub/../b?k/\n", questionTree},
        {"through a link", dir / "link\n", questionTree},
        {"a missing path", data + "/none\n", {}},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "left.ls", c.lines);
        const RarRun run =
            RunRar({"a", "-r", "-ep1", "-inul", "-x@" + dir / "left.ls", "--", dir / "out.rar", data});
        ASSERT_EQ(run.exitCode, 0) << c.name << ": " << run.output;
        std::set<std::string> stored;
        for (const auto& [name, entry] : ListZip(dir / "out.rar")) stored.insert(name);
        std::set<std::string> expected{
            "Data",          "Data/keep.txt",           "Data/b?k",    "Data/b?k/old.rar",
            "Data/b?k/deep", "Data/b?k/deep/older.rar", "Data/bak",    "Data/bak/kept.txt",
            "Data/b*k[1]",   "Data/b*k[1]/x.rar",       "Data/bxk[1]", "Data/bxk[1]/kept.txt",
            "Data/sub",      "Data/sub/inner.txt"};
        for (const std::string& name : c.gone) expected.erase(name);
        EXPECT_EQ(stored, expected) << c.name;
        std::filesystem::remove(dir / "out.rar");
    }

    EXPECT_EQ(RunRar({"a", "-x@" + dir / "none.ls", "--", dir / "out.rar", data}).exitCode, 2);
    EXPECT_EQ(RunRar({"x", "-x@" + dir / "left.ls", "--", dir / "out.rar", dir / "to"}).exitCode, 7);
}

}  // namespace
}  // namespace zov::test
