#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "RarTestSupport.h"
#include "platform/ProcessRunner.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

// The archive's entry names in the order of its central directory, one a line.
constexpr const char* kPythonNames = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        sys.stdout.buffer.write(info.filename.encode('utf-8') + b'\n')
)";

std::vector<std::string> ArchiveOrder(const std::string& archive, const std::string& logFile) {
    ProcessOptions options;
    options.stdoutPath = logFile;
    options.timeout = std::chrono::minutes(1);
    EXPECT_TRUE(RunProcess({"python3", "-c", kPythonNames, archive}, options).Succeeded());
    std::vector<std::string> names;
    std::istringstream lines(ReadFile(logFile));
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    return names;
}

// The order a sequential walk stores: name byte order, each folder before its contents; skip leaves out
// what cannot be archived.
void AppendSequentialOrder(const std::string& folder, const std::string& stored,
                           std::vector<std::string>& names, const std::vector<std::string>& skip = {}) {
    std::vector<std::string> children;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        children.push_back(entry.path().filename().string());
    std::sort(children.begin(), children.end());
    for (const std::string& child : children) {
        const std::string name = stored + "/" + child;
        if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
        if (std::filesystem::is_directory(std::filesystem::symlink_status(folder + "/" + child))) {
            names.push_back(name + "/");
            AppendSequentialOrder(folder + "/" + child, name, names, skip);
        } else {
            names.push_back(name);
        }
    }
}

std::vector<std::string> SequentialOrder(const std::string& root, const std::string& stored,
                                         const std::vector<std::string>& skip = {}) {
    std::vector<std::string> names{stored + "/"};
    AppendSequentialOrder(root, stored, names, skip);
    return names;
}

// 3,000 small files (0 to 6 KiB) in nested folders, empty folders, and large files of several blocks.
void MakeManyFileTree(const std::string& root) {
    int index = 0;
    for (int top = 0; top < 15; ++top) {
        for (int sub = 0; sub < 10; ++sub) {
            const std::string folder = root + "/t" + std::to_string(top) + "/s" + std::to_string(sub);
            for (int file = 0; file < 20; ++file, ++index) {
                std::string text;
                for (int line = 0; line < index % 97; ++line)
                    text += "line " + std::to_string(line * index) + "\n";
                WriteFile(folder + "/f" + std::to_string(file) + ".txt", text);
            }
        }
        std::filesystem::create_directories(root + "/t" + std::to_string(top) + "/empty");
    }
    std::filesystem::create_directories(root + "/empty/deeper");
    WriteFile(root + "/t3/large.bin", RandomBytes(3 * 1024 * 1024 + 17, 5));
    WriteFile(root + "/t7/s2/exact.bin", RandomBytes(1024 * 1024, 6));
    WriteFile(root + "/t7/s2/one more.bin", RandomBytes(1024 * 1024 + 1, 7));
}

struct OrderCase {
    const char* name;
    const char* password;  // "" for none
};

// Test listings and failures show the case by its name.
void PrintTo(const OrderCase& param, std::ostream* out) { *out << param.name; }

class RarManyFiles : public ::testing::TestWithParam<OrderCase> {};

// The entries are written in the order of a sequential walk, whatever thread listed or read them, and the
// tree comes back whole.
TEST_P(RarManyFiles, KeepTheSequentialOrderAndComeBackWhole) {
    TempProgramDir dir;
    const std::string source = dir / "source/tree";
    MakeManyFileTree(source);
    const std::string password = GetParam().password;
    std::vector<std::string> add{"a", "-r", "-m1", "-ep1", "-inul"};
    if (!password.empty()) add.push_back("-p" + password);
    add.insert(add.end(), {dir / "store/many.rar", source});
    const RarRun added = RunRar(add);
    ASSERT_EQ(added.exitCode, 0) << added.output;

    const std::vector<std::string> order = ArchiveOrder(dir / "store/many.rar", dir / "names.txt");
    EXPECT_GT(order.size(), 3000u);
    EXPECT_EQ(order, SequentialOrder(source, "tree"));

    std::vector<std::string> extract{"x", "-y", "-o+"};
    if (!password.empty()) extract.push_back("-p" + password);
    extract.insert(extract.end(), {dir / "store/many.rar", dir / "restore/"});
    const RarRun extracted = RunRar(extract);
    ASSERT_EQ(extracted.exitCode, 0) << extracted.output;
    ExpectSameTree(source, dir / "restore/tree");
}

INSTANTIATE_TEST_SUITE_P(Archives, RarManyFiles,
                         ::testing::Values(OrderCase{"Plain", ""}, OrderCase{"Password", "many pw"}),
                         [](const ::testing::TestParamInfo<OrderCase>& info) { return info.param.name; });

// What cannot be listed or read is reported and left out; the rest keeps its order. A folder that can be
// read but not searched hides its entries from the listing, a file without read permission is listed but
// cannot be opened, a folder without any permission cannot be listed.
TEST(RarManyFiles, UnreadableEntriesAreReportedAndLeftOut) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run the archiver as nobody";
    TempProgramDir dir;
    const std::string source = dir / "source/tree";
    MakeManyFileTree(source);
    WriteFile(source + "/t4/s5/closed.txt", "closed");
    chmod((source + "/t4/s5/closed.txt").c_str(), 0);
    WriteFile(source + "/t9/unsearchable/hidden.txt", "hidden");
    chmod((source + "/t9/unsearchable").c_str(), 0444);
    chmod((source + "/t2/s8").c_str(), 0);
    std::filesystem::create_directories(dir / "store");
    chmod((dir / "store").c_str(), 0777);
    chmod((dir / "").c_str(), 0755);  // the temporary folder is private by default
    ChildSetup nobody;
    nobody.asNobody = true;
    const RarRun added = RunRar({"a", "-r", "-m1", "-ep1", dir / "store/many.rar", source}, nobody);
    chmod((source + "/t9/unsearchable").c_str(), 0755);
    chmod((source + "/t2/s8").c_str(), 0755);
    EXPECT_EQ(added.exitCode, 6) << added.output;
    for (const std::string& message :
         {"cannot open " + source + "/t4/s5/closed.txt: Permission denied",
          "cannot open " + source + "/t9/unsearchable/hidden.txt: Permission denied",
          "cannot open folder " + source + "/t2/s8: Permission denied"}) {
        EXPECT_NE(added.output.find(message), std::string::npos) << message << "\n" << added.output;
    }
    std::vector<std::string> expected =
        SequentialOrder(source, "tree", {"tree/t4/s5/closed.txt", "tree/t9/unsearchable/hidden.txt"});
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [](const std::string& name) {
                                      return name.starts_with("tree/t2/s8/") && name != "tree/t2/s8/";
                                  }),
                   expected.end());
    EXPECT_EQ(ArchiveOrder(dir / "store/many.rar", dir / "names.txt"), expected);
}

}  // namespace
}  // namespace zov::test
