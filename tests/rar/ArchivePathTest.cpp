#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

// Several sources in one archive, and -ap<path>: where in the archive the sources go.
namespace zov::test {
namespace {

std::set<std::string> NamesIn(const TreeListing& listing) {
    std::set<std::string> names;
    for (const auto& [name, entry] : listing) names.insert(name + (entry.type == 'd' ? "/" : ""));
    return names;
}

// A source folder "docs" and a second folder whose tree goes beside it in the archive.
class RarArchivePath : public ::testing::Test {
  protected:
    RarArchivePath() {
        WriteFile(dir_ / "src/docs/a.txt", "alpha");
        WriteFile(dir_ / "src/docs/sub/b.txt", "bravo");
        WriteFile(dir_ / "more/sub/gone.txt~", "");
        WriteFile(dir_ / "more/c.txt", "charlie");
    }

    TempProgramDir dir_;
};

TEST_F(RarArchivePath, PutsEverySourceUnderThePath) {
    const struct {
        const char* what;
        std::vector<std::string> switches;
        std::vector<std::string> sources;
        std::set<std::string> stored;
    } cases[] = {
        {"folders under the path, in place of their names",
         {"-ap" + std::string("docs")},
         {dir_ / "src/docs", dir_ / "more"},
         {"docs/", "docs/a.txt", "docs/sub/", "docs/sub/b.txt", "docs/sub/gone.txt~", "docs/c.txt"}},
        {"a deeper path, its slashes at the ends dropped",
         {"-ap/x//y/"},
         {dir_ / "more"},
         {"x/y/", "x/y/c.txt", "x/y/sub/", "x/y/sub/gone.txt~"}},
        {"a file under the path by its name", {"-apdocs"}, {dir_ / "src/docs/a.txt"}, {"docs/a.txt"}},
        {"the top of the archive",
         {"-ap/"},
         {dir_ / "more/c.txt", dir_ / "src/docs/sub"},
         {"c.txt", "b.txt"}},
        {"several sources without a path, each by its own name",
         {"-ep1"},
         {dir_ / "src/docs/sub", dir_ / "more/c.txt"},
         {"sub/", "sub/b.txt", "c.txt"}},
    };
    for (const auto& c : cases) {
        const std::string archive = dir_ / "out/a.rar";
        std::vector<std::string> args{"a", "-r", "-inul"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        args.insert(args.end(), {"--", archive});
        args.insert(args.end(), c.sources.begin(), c.sources.end());
        const RarRun run = RunRar(args);
        EXPECT_EQ(run.exitCode, 0) << c.what << ": " << run.output;
        EXPECT_EQ(NamesIn(ListZip(archive)), c.stored) << c.what;
    }
}

// A list file selects among the entries of every source.
TEST_F(RarArchivePath, AListSelectsInEverySource) {
    const std::string list = dir_ / "list.ls";
    WriteFile(list, dir_ / "src/docs/sub/b.txt" + "\n" + dir_ / "more/sub/gone.txt~" + "\n");
    const std::string archive = dir_ / "out/a.rar";
    const RarRun run = RunRar(
        {"a", "-r", "-inul", "-n@" + list, "-apdocs", "--", archive, dir_ / "src/docs", dir_ / "more"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(NamesIn(ListZip(archive)), (std::set<std::string>{"docs/sub/b.txt", "docs/sub/gone.txt~"}));
    const RarRun extract = RunRar({"x", "-y", "--", archive, dir_ / "restored"});
    ASSERT_EQ(extract.exitCode, 0) << extract.output;
    EXPECT_EQ(ReadFile(dir_ / "restored/docs/sub/b.txt"), "bravo");
}

TEST_F(RarArchivePath, RefusesWhatItDoesNotTake) {
    const std::string archive = dir_ / "out/a.rar";
    const struct {
        const char* what;
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {"an empty path", {"a", "-ap", "--", archive, dir_ / "more"}, 7},
        {"a path when extracting", {"x", "-apdocs", "--", archive, dir_ / "x"}, 7},
        {"no source", {"a", "-apdocs", "--", archive}, 7},
        {"a missing source after the first", {"a", "-inul", "--", archive, dir_ / "more", dir_ / "none"}, 10},
        {"two destinations", {"x", "--", archive, dir_ / "x", dir_ / "y"}, 7},
    };
    for (const auto& c : cases) EXPECT_EQ(RunRar(c.args).exitCode, c.exitCode) << c.what;
}

}  // namespace
}  // namespace zov::test
