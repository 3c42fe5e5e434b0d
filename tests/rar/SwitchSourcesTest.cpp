#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

// Archives dir/Data with the password "two words" given in RAR.
std::string LockedArchive(const TempProgramDir& dir) {
    WriteFile(dir / "Data/file.txt", "locked");
    ChildSetup setup;
    setup.environment = {"RAR=-ptwo words"};
    const RarRun add = RunRar({"a", "-r", "-ep1", "-inul", "--", dir / "a.rar", dir / "Data"}, setup);
    EXPECT_EQ(add.exitCode, 0) << add.output;
    return dir / "a.rar";
}

TEST(RarEnvironment, SwitchesComeBeforeThoseOfTheCommandLine) {
    TempProgramDir dir;
    const std::string archive = LockedArchive(dir);
    struct Case {
        const char* name;
        std::string rar;                 // the RAR variable of the extraction
        std::vector<std::string> extra;  // switches on its command line
        int exitCode;
    };
    const Case cases[] = {
        {"no password anywhere", "", {}, 11},
        {"the password with its blank", "-ptwo words", {}, 0},
        {"other switches first, the password takes the rest", " -inul  -y -ptwo words", {}, 0},
        {"a blank after -p belongs to the password", "-p two words", {}, 11},
        {"the password cut at a blank", "-ptwo", {}, 11},
        {"the command line's password wins", "-pwrong", {"-ptwo words"}, 0},
        {"the same password on the command line", "", {"-ptwo words"}, 0},
        {"an unknown switch", "-zbad", {}, 7},
        {"a word that is no switch", "two", {}, 7},
        {"an empty password", "-p", {}, 7},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(dir / "out");
        ChildSetup setup;
        setup.environment = {"RAR=" + c.rar};
        std::vector<std::string> args{"x", "-y"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        args.insert(args.end(), {"--", archive, dir / "out"});
        const RarRun run = RunRar(args, setup);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << ": " << run.output;
        EXPECT_EQ(ReadFile(dir / "out/Data/file.txt"), c.exitCode == 0 ? "locked" : "") << c.name;
        EXPECT_EQ(run.output.find("two"), std::string::npos) << c.name << ": " << run.output;
    }
}

TEST(RarEnvironment, NamesAfterTheEndOfTheSwitchesAreNeverSwitches) {
    TempProgramDir dir;
    WriteFile(dir / "-xdata/file.txt", "data");
    ChildSetup inDir;
    inDir.workingDir = dir.path();
    // Without "--" the source reads as an exclusion and a name is missing.
    EXPECT_EQ(RunRar({"a", "-r", "-ep1", "-inul", "-n.rar", "-xdata"}, inDir).exitCode, 7);

    const RarRun add = RunRar({"a", "-r", "-ep1", "-inul", "--", "-n.rar", "-xdata"}, inDir);
    ASSERT_EQ(add.exitCode, 0) << add.output;
    const TreeListing stored = ListZip(dir / "-n.rar");
    EXPECT_EQ(stored.count("-xdata/file.txt"), 1u);

    const RarRun extract = RunRar({"x", "-y", "--", "-n.rar", "-o+"}, inDir);
    ASSERT_EQ(extract.exitCode, 0) << extract.output;
    EXPECT_EQ(ReadFile(dir / "-o+/-xdata/file.txt"), "data");
    EXPECT_EQ(RunRar({"t", "--", "-n.rar"}, inDir).exitCode, 0);
}

}  // namespace
}  // namespace zov::test
