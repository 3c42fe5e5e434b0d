#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "RarTestSupport.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

struct SelfCase {
    const char* name;
    std::vector<std::string> switches;
    const char* archivePrefix;  // of the files the archive consists of
};

// Test listings and failures show the case by its name.
void PrintTo(const SelfCase& param, std::ostream* out) { *out << param.name; }

class RarSelf : public ::testing::TestWithParam<SelfCase> {};

// An archive written into the folder being archived never ends up inside itself, neither the one being
// written nor the one it replaces.
TEST_P(RarSelf, ArchiveInsideTheSourceIsNotAddedToItself) {
    TempProgramDir dir;
    const std::string source = dir / "Data";
    WriteFile(source + "/random.bin", RandomBytes(2 * 1024 * 1024 + 5000, 4));
    std::vector<std::string> add{"a", "-r"};
    add.insert(add.end(), GetParam().switches.begin(), GetParam().switches.end());
    add.insert(add.end(), {"-o+", "-m1", "-y", "-ep1", "-inul", source + "/backup.rar", source});
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(RunRar(add).exitCode, 0);
        const std::vector<std::string> parts = FilesStartingWith(source, GetParam().archivePrefix);
        ASSERT_FALSE(parts.empty());
        const TreeListing restored = [&] {
            std::filesystem::remove_all(dir / "restore");
            EXPECT_EQ(RunRar({"x", "-y", "-o+", source + "/" + parts.front(), dir / "restore"}).exitCode, 0);
            return ListTree(dir / "restore/Data");
        }();
        ASSERT_EQ(restored.size(), 1u) << "run " << run;
        EXPECT_EQ(restored.count("random.bin"), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Outputs, RarSelf,
                         ::testing::Values(SelfCase{"OneFile", {}, "backup.rar"},
                                           SelfCase{"Volumes", {"-v1m"}, "backup.part"}),
                         [](const ::testing::TestParamInfo<SelfCase>& info) { return info.param.name; });

TEST(RarOverwrite, ReplacesExistingFilesOnlyWhenAllowed) {
    TempProgramDir dir;
    WriteFile(dir / "Data/file.txt", "archived");
    ASSERT_EQ(RunRar({"a", "-r", "-ep1", "-inul", dir / "a.rar", dir / "Data"}).exitCode, 0);

    WriteFile(dir / "restore/Data/file.txt", "local change");
    ASSERT_EQ(RunRar({"x", dir / "a.rar", dir / "restore"}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "restore/Data/file.txt"), "local change");  // never asks, keeps what is there

    for (const char* overwrite : {"-o+", "-y"}) {
        WriteFile(dir / "restore/Data/file.txt", "local change");
        ASSERT_EQ(RunRar({"x", overwrite, dir / "a.rar", dir / "restore"}).exitCode, 0);
        EXPECT_EQ(ReadFile(dir / "restore/Data/file.txt"), "archived") << overwrite;
    }
}

TEST(RarMessages, GoToTheLogAndStandardErrorWithoutThePassword) {
    TempProgramDir dir;
    WriteFile(dir / "Data/file.txt", "secret content");
    ASSERT_EQ(RunRar({"a", "-r", "-pTopSecret1", "-ep1", "-inul", dir / "a.rar", dir / "Data"}).exitCode, 0);

    const RarRun loud =
        RunRar({"x", "-y", "-pWrongGuess2", "-logf=" + dir / "x.log", dir / "a.rar", dir / "out"});
    EXPECT_EQ(loud.exitCode, 11);
    EXPECT_NE(loud.output.find("a.rar"), std::string::npos) << loud.output;
    const RarRun quiet =
        RunRar({"x", "-y", "-pWrongGuess2", "-inul", "-logf=" + dir / "x.log", dir / "a.rar", dir / "out"});
    EXPECT_EQ(quiet.exitCode, 11);
    EXPECT_EQ(quiet.output, "");

    const std::string log = ReadFile(dir / "x.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;  // appended, one line a run
    for (const std::string& text : {log, loud.output}) {
        EXPECT_EQ(text.find("TopSecret1"), std::string::npos);
        EXPECT_EQ(text.find("WrongGuess2"), std::string::npos);
    }
    const RarRun badSwitch = RunRar({"x", "-zWrongGuess2", dir / "a.rar", dir / "out"});
    EXPECT_EQ(badSwitch.exitCode, 7);
    EXPECT_EQ(badSwitch.output.find("WrongGuess2"), std::string::npos) << badSwitch.output;
}

class RarInterrupt : public ::testing::TestWithParam<int> {};

// A signal during compression ends the run with 255 and leaves no partial archive.
TEST_P(RarInterrupt, EndsWith255AndRemovesThePartialArchive) {
    TempProgramDir dir;
    std::filesystem::create_directories(dir / "Data");
    std::filesystem::create_directories(dir / "store");
    const int fd = open((dir / "Data/huge.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{64} << 30), 0);  // deflating 64 GiB of zeros takes far longer than the test
    close(fd);

    const pid_t pid =
        StartRar({"a", "-r", "-v1m", "-m1", "-ep1", dir / "store/big.rar", dir / "Data"}, dir / "out.txt");
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (FilesStartingWith(dir / "store", "big").empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(FilesStartingWith(dir / "store", "big").empty()) << "no archive was started";
    kill(pid, GetParam());
    EXPECT_EQ(WaitRar(pid), 255) << ReadFile(dir / "out.txt");
    EXPECT_TRUE(FilesStartingWith(dir / "store", "").empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, RarInterrupt, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Term" : "Int");
                         });

}  // namespace
}  // namespace zov::test
