#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "platform/ProcessRunner.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

// Writes a ZIP file with the entries given as "f:name:data" (file), "l:name:target" (symbolic link) or
// "d:name" (folder), names as they are: what a hostile archive can hold.
constexpr const char* kPythonWriter = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for spec in sys.argv[2:]:
        kind, name, data = (spec.split(':', 2) + [''])[:3]
        info = zipfile.ZipInfo(name + ('/' if kind == 'd' else ''))
        info.create_system = 3
        info.external_attr = {'f': 0o100644, 'l': 0o120777, 'd': 0o40755}[kind] << 16
        z.writestr(info, data)
)";

struct SafetyCase {
    const char* name;
    std::vector<std::string> entries;
    bool overwrite;
    int exitCode;
    // Prepares the destination; outside is a folder next to it that nothing may touch.
    std::function<void(const std::string& destination, const std::string& outside)> plant;
};

void PrintTo(const SafetyCase& param, std::ostream* out) { *out << param.name; }

void Nothing(const std::string&, const std::string&) {}

const SafetyCase kSafetyCases[] = {
    {"DotDotName", {"f:../outside/keep.txt:evil", "f:ok.txt:fine"}, true, 9, Nothing},
    {"DeepDotDotName", {"f:a/b/../../../outside/keep.txt:evil"}, true, 9, Nothing},
    {"AbsoluteName", {"f:/tmp/zov-rar-absolute-name.txt:evil"}, true, 9, Nothing},
    {"LinkEntryThenFileThroughIt", {"l:Data:../outside", "f:Data/keep.txt:evil"}, true, 9, Nothing},
    {"PlantedFolderLink",
     {"f:Data/keep.txt:evil"},
     true,
     9,
     [](const std::string& destination, const std::string& outside) {
         std::filesystem::create_directories(destination);
         std::filesystem::create_directory_symlink(outside, destination + "/Data");
     }},
    {"PlantedFileLinkIsReplacedNotFollowed",
     {"f:Data/keep.txt:new"},
     true,
     0,
     [](const std::string& destination, const std::string& outside) {
         std::filesystem::create_directories(destination + "/Data");
         std::filesystem::create_symlink(outside + "/keep.txt", destination + "/Data/keep.txt");
     }},
    {"PlantedFileLinkIsLeftWithoutOverwrite",
     {"f:Data/keep.txt:new"},
     false,
     0,
     [](const std::string& destination, const std::string& outside) {
         std::filesystem::create_directories(destination + "/Data");
         std::filesystem::create_symlink(outside + "/keep.txt", destination + "/Data/keep.txt");
     }},
};

class RarExtractSafety : public ::testing::TestWithParam<SafetyCase> {};

// No entry is written outside the destination or through a link, whatever the archive or the destination
// holds; the entries that are safe still come out.
TEST_P(RarExtractSafety, NothingOutsideTheDestinationIsTouched) {
    const SafetyCase& param = GetParam();
    TempProgramDir dir;
    const std::string destination = dir / "restore";
    const std::string outside = dir / "outside";
    WriteFile(outside + "/keep.txt", "original");
    std::filesystem::remove("/tmp/zov-rar-absolute-name.txt");
    param.plant(destination, outside);

    std::vector<std::string> write{"python3", "-c", kPythonWriter, dir / "hostile.rar"};
    write.insert(write.end(), param.entries.begin(), param.entries.end());
    ProcessOptions options;
    options.stdoutPath = options.stderrPath = dir / "python.log";
    options.timeout = std::chrono::minutes(1);
    ASSERT_TRUE(RunProcess(write, options).Succeeded()) << ReadFile(dir / "python.log");

    std::vector<std::string> extract{"x", "-y"};
    if (param.overwrite) extract.push_back("-o+");
    extract.insert(extract.end(), {dir / "hostile.rar", destination});
    const RarRun run = RunRar(extract);
    EXPECT_EQ(run.exitCode, param.exitCode) << run.output;
    EXPECT_EQ(ListTree(outside).size(), 1u);
    EXPECT_EQ(ReadFile(outside + "/keep.txt"), "original");
    EXPECT_FALSE(std::filesystem::exists("/tmp/zov-rar-absolute-name.txt"));
    if (std::string(param.name) == "DotDotName") {
        EXPECT_EQ(ReadFile(destination + "/ok.txt"), "fine");
    }
    if (std::string(param.name) == "PlantedFileLinkIsReplacedNotFollowed") {
        EXPECT_FALSE(std::filesystem::is_symlink(destination + "/Data/keep.txt"));
        EXPECT_EQ(ReadFile(destination + "/Data/keep.txt"), "new");
    }
}

INSTANTIATE_TEST_SUITE_P(Archives, RarExtractSafety, ::testing::ValuesIn(kSafetyCases),
                         [](const ::testing::TestParamInfo<SafetyCase>& info) { return info.param.name; });

// A link entry is never read whole into memory when it declares more than a link can be: it is reported as
// damaged and nothing is made of it; the entries after it still come out.
TEST(RarExtractSafetyLink, AHugeLinkTargetIsRefused) {
    TempProgramDir dir;
    const char* writer = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    info = zipfile.ZipInfo('huge link')
    info.create_system = 3
    info.external_attr = 0o120777 << 16
    z.writestr(info, 'x' * (3 << 20))
    z.writestr('after.txt', 'fine')
)";
    ProcessOptions options;
    options.stdoutPath = options.stderrPath = dir / "python.log";
    options.timeout = std::chrono::minutes(1);
    ASSERT_TRUE(RunProcess({"python3", "-c", writer, dir / "hostile.rar"}, options).Succeeded())
        << ReadFile(dir / "python.log");
    const RarRun run = RunRar({"x", "-y", dir / "hostile.rar", dir / "restore"});
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "restore/huge link"));
    EXPECT_EQ(ReadFile(dir / "restore/after.txt"), "fine");
}

}  // namespace
}  // namespace zov::test
