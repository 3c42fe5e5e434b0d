#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr std::size_t kMebibyte = 1024 * 1024;

struct DamageCase {
    const char* name;
    std::size_t size;  // of the archived file: over 1 MiB it is written in chunks
    bool password;
    bool volumes;  // cut into 1 MiB volumes; the second one is damaged
};

void PrintTo(const DamageCase& param, std::ostream* out) { *out << param.name; }

const DamageCase kDamageCases[] = {
    {"Large", 3 * kMebibyte + kMebibyte / 2, false, false},
    {"LargeEncrypted", 3 * kMebibyte + kMebibyte / 2, true, false},
    {"Small", 200 * 1024, false, false},
    {"SmallEncrypted", 200 * 1024, true, false},
    {"LargeInVolumes", 3 * kMebibyte + kMebibyte / 2, false, true},
    {"LargeEncryptedInVolumes", 3 * kMebibyte + kMebibyte / 2, true, true},
};

// Flips 64 bytes in the middle of a file of the archive: inside the compressed data of its one entry.
void Damage(const std::string& path) {
    std::string bytes = ReadFile(path);
    ASSERT_GE(bytes.size(), 1024u) << path;
    for (std::size_t i = 0; i < 64; ++i) bytes[bytes.size() / 2 + i] ^= 0x5A;
    WriteFile(path, bytes);
}

class RarDamagedEntry : public ::testing::TestWithParam<DamageCase> {};

// A damaged entry extracted over an existing file leaves that file as it was and nothing else behind.
TEST_P(RarDamagedEntry, KeepsTheFileItWasToReplace) {
    const DamageCase& param = GetParam();
    TempProgramDir dir;
    WriteFile(dir / "source/Data/file.bin", RandomBytes(param.size, 5));
    std::vector<std::string> add{"a", "-r", "-o+", "-m1", "-y", "-ep1", "-inul"};
    if (param.password) add.push_back("-pright");
    if (param.volumes) add.push_back("-v1m");
    add.insert(add.end(), {dir / "store/a.rar", dir / "source/Data"});
    const RarRun made = RunRar(add);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::vector<std::string> volumes = FilesStartingWith(dir / "store", "");
    ASSERT_EQ(volumes.size() > 1, param.volumes);
    Damage(dir / "store/" + volumes[param.volumes ? 1 : 0]);

    const std::string old = RandomBytes(kMebibyte + 12345, 6);
    WriteFile(dir / "restore/Data/file.bin", old);
    std::vector<std::string> extract{"x", "-y", "-o+"};
    if (param.password) extract.push_back("-pright");
    extract.insert(extract.end(), {dir / "store/" + volumes.front(), dir / "restore"});
    const RarRun run = RunRar(extract);
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_TRUE(ReadFile(dir / "restore/Data/file.bin") == old);
    EXPECT_EQ(FilesStartingWith(dir / "restore/Data", ""), std::vector<std::string>{"file.bin"});
}

INSTANTIATE_TEST_SUITE_P(Archives, RarDamagedEntry, ::testing::ValuesIn(kDamageCases),
                         [](const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; });

class RarExtractKilled : public ::testing::TestWithParam<int> {};

// A signal while a large file is extracted over an existing one leaves the existing one as it was: the new
// file is written under a temporary name, which a caught signal removes and a kill may leave.
TEST_P(RarExtractKilled, LeavesTheFileItWasToReplace) {
    TempProgramDir dir;
    std::filesystem::create_directories(dir / "source/Data");
    const int fd = open((dir / "source/Data/zeros.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{2} << 30), 0);  // inflating 2 GiB of zeros takes a while
    close(fd);
    const RarRun made =
        RunRar({"a", "-r", "-m1", "-y", "-ep1", "-inul", dir / "store/a.rar", dir / "source/Data"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string target = dir / "restore/Data/zeros.bin";
    WriteFile(target, "old content");
    struct stat before {};
    ASSERT_EQ(stat(target.c_str(), &before), 0);

    const pid_t pid = StartRar({"x", "-y", "-o+", dir / "store/a.rar", dir / "restore"}, dir / "out.txt");
    ASSERT_GT(pid, 0);
    // Waits for the new file to be started: a temporary name, or (as a careless archiver would) the old one
    // replaced in place.
    const auto started = [&] {
        struct stat now {};
        return FilesStartingWith(dir / "restore/Data", ".").size() > 0 || stat(target.c_str(), &now) != 0 ||
               now.st_ino != before.st_ino || now.st_size != before.st_size;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!started() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_TRUE(started()) << "the extraction did not start";
    kill(pid, GetParam());
    const int code = WaitRar(pid);
    EXPECT_EQ(ReadFile(target), "old content");
    const std::vector<std::string> left = FilesStartingWith(dir / "restore/Data", ".rar-");
    if (GetParam() == SIGKILL) {
        EXPECT_EQ(code, -1);
        EXPECT_LE(left.size(), 1u);
    } else {
        EXPECT_EQ(code, 255) << ReadFile(dir / "out.txt");
        EXPECT_TRUE(left.empty());
    }
    EXPECT_EQ(FilesStartingWith(dir / "restore/Data", "zeros").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Signals, RarExtractKilled, ::testing::Values(SIGTERM, SIGKILL),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Term" : "Kill");
                         });

}  // namespace
}  // namespace zov::test
