#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

#ifdef ZOV_RAR_TESTS_SANITIZED
constexpr bool kWithHugeFile = false;  // deflating 4 GiB is slow under the sanitizers
#else
constexpr bool kWithHugeFile = true;
#endif

struct RoundTripCase {
    const char* name;
    const char* password;  // "" for none
    int volumeMb;          // 0 for one file
};

// Test listings and failures show the case by its name.
void PrintTo(const RoundTripCase& param, std::ostream* out) { *out << param.name; }

class RarRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// The backup engine's commands: compress a folder, extract it elsewhere (from the middle volume's name when
// the archive is split); the extracted tree equals the source, metadata included.
TEST_P(RarRoundTrip, ExtractedTreeEqualsTheSource) {
    const RoundTripCase& param = GetParam();
    TempProgramDir dir;
    const std::string source = dir / "source/Work Files";
    MakeSampleTree(source, kWithHugeFile);

    std::vector<std::string> add{"a", "-r"};
    if (*param.password != '\0') add.push_back(std::string("-p") + param.password);
    if (param.volumeMb > 0) add.push_back("-v" + std::to_string(param.volumeMb) + "m");
    add.insert(add.end(),
               {"-o+", "-m1", "-y", "-ep1", "-inul", dir / "store/Work Files_20240305140709.rar", source});
    const RarRun added = RunRar(add);
    ASSERT_EQ(added.exitCode, 0) << added.output;

    std::string archive = dir / "store/Work Files_20240305140709.rar";
    const std::vector<std::string> files = FilesStartingWith(dir / "store", "Work Files_");
    if (param.volumeMb > 0) {
        ASSERT_GE(files.size(), 3u);
        archive = dir / "store/" + files[files.size() / 2];
    } else {
        ASSERT_EQ(files, std::vector<std::string>{"Work Files_20240305140709.rar"});
    }

    std::vector<std::string> extract{"x", "-y"};
    if (*param.password != '\0') extract.push_back(std::string("-p") + param.password);
    extract.insert(extract.end(), {"-o+", archive, dir / "restore/deep/chain/"});
    const RarRun extracted = RunRar(extract);
    ASSERT_EQ(extracted.exitCode, 0) << extracted.output;
    ExpectSameTree(source, dir / "restore/deep/chain/Work Files");
}

INSTANTIATE_TEST_SUITE_P(Archives, RarRoundTrip,
                         ::testing::Values(RoundTripCase{"Plain", "", 0},
                                           RoundTripCase{"Password", "s3cret pw", 0},
                                           RoundTripCase{"Volumes", "", 1},
                                           RoundTripCase{"PasswordVolumes", "密码 pw", 1}),
                         [](const ::testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

TEST(RarSingleFile, IsStoredByItsNameAndComesBackUnderIt) {
    TempProgramDir dir;
    const std::string file = dir / "source/a\\b name.txt";
    WriteFile(file, "single file\n");
    ASSERT_EQ(RunRar({"a", "-r", "-y", "-o+", "-m1", "-ep1", "-inul", dir / "store/one.rar", file}).exitCode,
              0);
    ASSERT_EQ(RunRar({"x", "-y", "-o+", dir / "store/one.rar", dir / "restore"}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "restore/a\\b name.txt"), "single file\n");
    EXPECT_EQ(ListTree(dir / "restore").size(), 1u);
}

TEST(RarEmptyFolder, IsArchivedAndRestoredAsAnEmptyFolder) {
    TempProgramDir dir;
    ASSERT_EQ(mkdir((dir / "Empty").c_str(), 0750), 0);
    ASSERT_EQ(
        RunRar({"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul", dir / "store/e.rar", dir / "Empty"}).exitCode,
        0);
    ASSERT_EQ(RunRar({"x", "-y", "-o+", dir / "store/e.rar", dir / "restore"}).exitCode, 0);
    const TreeListing restored = ListTree(dir / "restore");
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored.at("Empty").type, 'd');
    EXPECT_EQ(restored.at("Empty").mode, 0750u);
}

}  // namespace
}  // namespace zov::test
