#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "ZipOperatorTestSupport.h"
#include "engine/archive/ZipOperator.h"

namespace zov {
namespace {

using test::FakeRarTest;
using test::WriteFile;
using Args = std::vector<std::string>;

class ZipOperatorCommand : public FakeRarTest {
  protected:
    void SetUp() override {
        FakeRarTest::SetUp();
        WriteFile(src + "f.txt", "new");
        WriteFile(base + "f.txt", "old");
        MakeArchives();
    }

    // The recorded arguments with the list file switch, whose name is random, replaced by "-n@LIST".
    Args ArgsWithListMarked() const {
        Args args = RecordedArgs();
        for (std::string& arg : args) {
            std::string prefix = "-n@" + dir_.path() + "qel_temp_";
            if (arg.starts_with(prefix) && arg.ends_with(".ls") && arg.size() == prefix.size() + 8)
                arg = "-n@LIST";
        }
        return args;
    }

    const std::string src = dir_ / "src/";
    const std::string srcArg = dir_ / "src";
    const std::string base = dir_ / "base/";
    const std::string out = dir_ / "out/";
    const std::string archive = out + "set.rar";
    const std::string item = src + "f.txt";
    const std::string dest = dir_ / "restore";
};

struct CommandCase {
    const char* name;
    std::function<bool(CZipOperator&)> run;
    std::function<Args()> expected;
    std::string rarVariable = "";  // RAR as the archiver found it: the password is there, never in args
};

TEST_F(ZipOperatorCommand, EveryTemplateBecomesItsArgumentVector) {
    const std::vector<std::string> tmpAndLog{"*.tmp", "*.log"};
    FilterSet excludeTmp{true, {"*.tmp"}};
    FilterSet onlyDoc{false, {"*.doc"}};
    const CommandCase cases[] = {
        {"file, volumes, password",
         [&](CZipOperator& z) { return z.CompressFile(item, out, "pw", "set", 500); },
         [&] { return Args{"a", "-r", "-v500m", "-y", "-o+", "-m1", "-ep1", "-inul", "--", archive, item}; },
         "-ppw"},
        {"file, volumes", [&](CZipOperator& z) { return z.CompressFile(item, out, "", "set.rar", 500); },
         [&] { return Args{"a", "-r", "-v500m", "-y", "-o+", "-m1", "-ep1", "-inul", "--", archive, item}; }},
        {"file, password", [&](CZipOperator& z) { return z.CompressFile(item, out, "pw", "set"); },
         [&] { return Args{"a", "-r", "-y", "-o+", "-m1", "-ep1", "-inul", "--", archive, item}; }, "-ppw"},
        {"file", [&](CZipOperator& z) { return z.CompressFile(item, dir_ / "out", "", "set", 0); },
         [&] { return Args{"a", "-r", "-y", "-o+", "-m1", "-ep1", "-inul", "--", archive, item}; }},

        {"folder, volumes, password",
         [&](CZipOperator& z) { return z.CompressFolder(src, out, "pw", "set", 500); },
         [&] {
             return Args{"a", "-r", "-v500m", "-o+", "-m1", "-y", "-ep1", "-inul", "--", archive, srcArg};
         },
         "-ppw"},
        {"folder, volumes", [&](CZipOperator& z) { return z.CompressFolder(src, out, "", "set", 500); },
         [&] {
             return Args{"a", "-r", "-v500m", "-o+", "-m1", "-y", "-ep1", "-inul", "--", archive, srcArg};
         }},
        {"folder, password with blanks",
         [&](CZipOperator& z) { return z.CompressFolder(src, out, " two  words ", "set"); },
         [&] { return Args{"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul", "--", archive, srcArg}; },
         "-p two  words "},
        {"folder", [&](CZipOperator& z) { return z.CompressFolder(srcArg, out, "", "set", -1); },
         [&] { return Args{"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul", "--", archive, srcArg}; }},

        {"masks, volumes, password",
         [&](CZipOperator& z) {
             return z.CompressFolderFiltered(src, out, "pw", "set", true, tmpAndLog, 500);
         },
         [&] {
             return Args{"a",  "-r",   "-v500m", "-x*.tmp", "-x*.log", "-o+", "-m1",
                         "-y", "-ep1", "-inul",  "--",      archive,   srcArg};
         },
         "-ppw"},
        {"masks, volumes",
         [&](CZipOperator& z) {
             return z.CompressFolderFiltered(src, out, "", "set", false, {"*.doc"}, 500);
         },
         [&] {
             return Args{"a",  "-r",   "-v500m", "-n*.doc", "-o+",   "-m1",
                         "-y", "-ep1", "-inul",  "--",      archive, srcArg};
         }},
        {"masks, password, patterns of one item",
         [&](CZipOperator& z) {
             return z.CompressFolderFiltered(src, out, "pw", "set", true, {"*.tmp; *.bak;"});
         },
         [&] {
             return Args{"a",  "-r",   "-x*.tmp", "-x*.bak", "-o+",   "-m1",
                         "-y", "-ep1", "-inul",   "--",      archive, srcArg};
         },
         "-ppw"},
        {"masks, empty list",
         [&](CZipOperator& z) { return z.CompressFolderFiltered(src, out, "", "set", true, {}); },
         [&] { return Args{"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul", "--", archive, srcArg}; }},

        {"changes, volumes, password",
         [&](CZipOperator& z) { return z.CompressChanges(src, out, base, "pw", "set", 500); },
         [&] {
             return Args{"a",  "-r",   "-v500m", "-n@LIST", "-m1",   "-o+",
                         "-y", "-ep1", "-inul",  "--",      archive, srcArg};
         },
         "-ppw"},
        {"changes, volumes",
         [&](CZipOperator& z) { return z.CompressChanges(src, out, base, "", "set", 500); },
         [&] {
             return Args{"a",  "-r",   "-v500m", "-n@LIST", "-o+",   "-m1",
                         "-y", "-ep1", "-inul",  "--",      archive, srcArg};
         }},
        {"changes, password",
         [&](CZipOperator& z) { return z.CompressChangesFiltered(src, out, base, "pw", "set", excludeTmp); },
         [&] {
             return Args{"a", "-r", "-n@LIST", "-m1", "-o+", "-y", "-ep1", "-inul", "--", archive, srcArg};
         },
         "-ppw"},
        {"changes", [&](CZipOperator& z) { return z.CompressChangesFiltered(src, out, base, "", "set", {}); },
         [&] {
             return Args{"a", "-r", "-n@LIST", "-o+", "-m1", "-y", "-ep1", "-inul", "--", archive, srcArg};
         }},

        {"extract, password", [&](CZipOperator& z) { return z.ExtractFile(archive, dest, "pw") == 0; },
         [&] { return Args{"x", "-y", "-o+", "--", archive, dest + "/"}; }, "-ppw"},
        {"extract into sub-folder",
         [&](CZipOperator& z) {
             return z.ExtractFile(archive, dest + "/", "", "20240305qel_temp_del~~~~") == 0;
         },
         [&] { return Args{"x", "-y", "-o+", "--", archive, dest + "/20240305qel_temp_del~~~~/"}; }},
        {"extract folder, excluding, password",
         [&](CZipOperator& z) { return z.ExtractFolder(item, dest, "pw", excludeTmp) == 0; },
         [&] { return Args{"x", "-y", "-x*.tmp", "-o+", "--", item, dest + "/"}; }, "-ppw"},
        {"extract folder, including",
         [&](CZipOperator& z) { return z.ExtractFolder(item, dest, "", onlyDoc, "sub") == 0; },
         [&] { return Args{"x", "-y", "-n*.doc", "-o+", "--", item, dest + "/sub/"}; }},

        {"test, excluding",
         [&](CZipOperator& z) { return z.TestArchive(archive, true, tmpAndLog, dir_ / "test.log"); },
         [&] { return Args{"t", "-logf=" + (dir_ / "test.log"), "-x*.tmp", "-x*.log", "--", archive}; }},
        {"test, including",
         [&](CZipOperator& z) {
             return z.TestArchive(archive, false, {"*.doc", ""}, "t.log");
         },
         [&] {
             return Args{"t", "-logf=t.log", "-n*.doc", "--", archive};
         }},
    };
    // A RAR of the caller's environment never reaches the archiver.
    ASSERT_EQ(setenv("RAR", "-x*", 1), 0);
    for (const CommandCase& c : cases) {
        CZipOperator zip(FakeRar());
        EXPECT_TRUE(c.run(zip)) << c.name << ": " << zip.message();
        EXPECT_EQ(ArgsWithListMarked(), c.expected()) << c.name;
        EXPECT_EQ(Recorded("rar_env"), c.rarVariable + "\n") << c.name;
    }
    unsetenv("RAR");
}

}  // namespace
}  // namespace zov
