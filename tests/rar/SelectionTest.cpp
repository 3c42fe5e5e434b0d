#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

// Source tree for the mask cases; every name is relative to the stored root "Data".
const char* const kFiles[] = {
    "report.doc", "notes.txt", "Secret.DOC", "cache/tmp1.doc", "cache/deep/tmp2.txt",
    "sub/a.xls",  "sub/b.doc", "中.txt",     "ab.txt"};

void MakeMaskTree(const std::string& root) {
    for (const char* file : kFiles) WriteFile(root + "/" + file, file);
    std::filesystem::create_directories(root + "/sub/empty");
}

std::set<std::string> NamesIn(const TreeListing& listing) {
    std::set<std::string> names;
    for (const auto& [name, entry] : listing) names.insert(name);
    return names;
}

struct MaskCase {
    const char* name;
    std::vector<std::string> switches;  // "@list" in a switch stands for the list file's path
    std::set<std::string> expected;     // stored names below Data/
};

std::vector<std::string> Resolve(const std::vector<std::string>& switches, const std::string& listFile) {
    std::vector<std::string> resolved;
    for (std::string sw : switches) {
        const auto at = sw.find("@list");
        if (at != std::string::npos) sw.replace(at + 1, 4, listFile);
        resolved.push_back(sw);
    }
    return resolved;
}

std::set<std::string> UnderData(const std::set<std::string>& names) {
    std::set<std::string> prefixed;
    for (const std::string& name : names) prefixed.insert(name.empty() ? "Data" : "Data/" + name);
    return prefixed;
}

const std::set<std::string> kEverything = {"",       "report.doc", "notes.txt",      "Secret.DOC",
                                           "cache",  "cache/deep", "cache/tmp1.doc", "cache/deep/tmp2.txt",
                                           "sub",    "sub/a.xls",  "sub/b.doc",      "sub/empty",
                                           "中.txt", "ab.txt"};

const MaskCase kMaskCases[] = {
    {"NoMasks", {}, kEverything},
    {"ExcludeByExtensionFoldsCase",
     {"-x*.doc"},
     {"", "notes.txt", "cache", "cache/deep", "cache/deep/tmp2.txt", "sub", "sub/a.xls", "sub/empty",
      "中.txt", "ab.txt"}},
    {"IncludeByExtension", {"-n*.doc"}, {"report.doc", "Secret.DOC", "cache/tmp1.doc", "sub/b.doc"}},
    {"ExcludedFolderTakesItsTree",
     {"-xcache"},
     {"", "report.doc", "notes.txt", "Secret.DOC", "sub", "sub/a.xls", "sub/b.doc", "sub/empty", "中.txt",
      "ab.txt"}},
    {"MaskWithSlashMatchesThePath",
     {"-x*/cache/*"},
     {"", "report.doc", "notes.txt", "Secret.DOC", "cache", "sub", "sub/a.xls", "sub/b.doc", "sub/empty",
      "中.txt", "ab.txt"}},
    {"IncludedFolderTakesItsTree", {"-nsub"}, {"sub", "sub/a.xls", "sub/b.doc", "sub/empty"}},
    {"ExcludeWinsOverInclude", {"-n*.doc", "-x*secret*"}, {"report.doc", "cache/tmp1.doc", "sub/b.doc"}},
    {"QuestionMarkIsOneCharacter", {"-n?.txt"}, {"中.txt"}},
    {"TwoQuestionMarks", {"-n??.txt"}, {"ab.txt"}},
    {"StarCrossesFolders", {"-n*/sub/*.doc"}, {"sub/b.doc"}},
    {"SeveralIncludes", {"-n*.xls", "-nnotes.txt"}, {"notes.txt", "sub/a.xls"}},
    {"ListFile", {"-n@list"}, {"report.doc", "cache/deep/tmp2.txt"}},
    {"ListFileWithExclude", {"-n@list", "-x*.txt"}, {"report.doc"}},
    {"SourceFolderItselfIsNotJudged", {"-xData", "-x*/Data"}, kEverything},
};

// Test listings and failures show the case by its name.
void PrintTo(const MaskCase& param, std::ostream* out) { *out << param.name; }

class RarMasks : public ::testing::TestWithParam<MaskCase> {};

TEST_P(RarMasks, SelectWhatIsArchived) {
    TempProgramDir dir;
    const std::string source = dir / "source/Data";
    MakeMaskTree(source);
    // A list as the change list writes it: full paths, one a line (a doubled slash is tolerated).
    WriteFile(dir / "changes.ls", source + "/report.doc\n" + dir / "source//Data/cache/deep/tmp2.txt\n");

    std::vector<std::string> args{"a", "-r"};
    const std::vector<std::string> switches = Resolve(GetParam().switches, dir / "changes.ls");
    args.insert(args.end(), switches.begin(), switches.end());
    args.insert(args.end(), {"-o+", "-m1", "-y", "-ep1", "-inul", dir / "store/m.rar", source});
    const RarRun run = RunRar(args);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(NamesIn(ListZip(dir / "store/m.rar")), UnderData(GetParam().expected));
}

TEST_P(RarMasks, SelectWhatIsExtracted) {
    TempProgramDir dir;
    const std::string source = dir / "source/Data";
    MakeMaskTree(source);
    WriteFile(dir / "changes.ls",
              "Data/report.doc\nData/cache/deep/tmp2.txt\n");  // archive paths when extracting
    ASSERT_EQ(RunRar({"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul", dir / "store/m.rar", source}).exitCode,
              0);

    std::vector<std::string> args{"x", "-y"};
    const std::vector<std::string> switches = Resolve(GetParam().switches, dir / "changes.ls");
    args.insert(args.end(), switches.begin(), switches.end());
    args.insert(args.end(), {"-o+", dir / "store/m.rar", dir / "restore"});
    const RarRun run = RunRar(args);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // Folders that hold an extracted file are made as well.
    std::set<std::string> expected = UnderData(GetParam().expected);
    for (const std::string& name : std::set<std::string>(expected)) {
        for (auto slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
            expected.insert(name.substr(0, slash));
        }
    }
    EXPECT_EQ(NamesIn(ListTree(dir / "restore")), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RarMasks, ::testing::ValuesIn(kMaskCases),
                         [](const ::testing::TestParamInfo<MaskCase>& info) { return info.param.name; });

TEST(RarMasks, TestCommandChecksOnlyTheSelectedEntries) {
    TempProgramDir dir;
    MakeMaskTree(dir / "source/Data");
    ASSERT_EQ(RunRar({"a", "-r", "-ep1", "-inul", dir / "store/m.rar", dir / "source/Data"}).exitCode, 0);
    EXPECT_EQ(RunRar({"t", "-logf=" + dir / "t.log", "-n*.doc", dir / "store/m.rar"}).exitCode, 0);
    EXPECT_EQ(RunRar({"t", "-logf=" + dir / "t.log", "-n*.pdf", dir / "store/m.rar"}).exitCode, 10);
}

}  // namespace
}  // namespace zov::test
