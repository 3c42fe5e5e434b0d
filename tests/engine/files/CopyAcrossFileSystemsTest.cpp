#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/files/FileOperator.h"
#include "engine/files/FileOperatorCopyEntry.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"

namespace zov {
namespace {

using test::WriteFile;
constexpr std::size_t kBuffer = fileops::CopyScratch::kBufferBytes;

// Copies from the system's temp folder to a tmpfs of this test process's own (a private mount namespace),
// where copy_file_range cannot reach and the bytes take the other ways.
class CopyAcrossFileSystemsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            GTEST_SKIP() << "no private mount namespace here";
        }
        test::MakeFolder(other);
        ASSERT_EQ(::mount("none", other.c_str(), "tmpfs", 0, "size=64m"), 0);
        mounted = true;
    }

    void TearDown() override {
        if (mounted) ::umount2(other.c_str(), MNT_DETACH);
    }

    // A file whose bytes tell their offset, so that a block copied twice or left out shows.
    static std::string Content(std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
        return bytes;
    }

    test::TempProgramDir dir;
    const std::string src = dir / "src";
    const std::string other = dir / "other";
    bool mounted = false;
};

TEST_F(CopyAcrossFileSystemsTest, EveryFileArrivesWholeAndReplacesWhatWasThere) {
    const std::vector<std::size_t> sizes = {0, 1, 4096, kBuffer - 1, kBuffer, kBuffer + 1, 3 * kBuffer + 5};
    for (std::size_t size : sizes) WriteFile(src + "/f" + std::to_string(size), Content(size));
    ASSERT_EQ(::symlink("f1", (src + "/link").c_str()), 0);
    ::chmod((src + "/f1").c_str(), 0640);
    test::SetModifyTime(src + "/f1", 1700000000);

    CFileOperator op;
    ASSERT_EQ(op.CopyFolder(src, other, "", false, false), 1) << op.error();
    EXPECT_EQ(test::ReadTree(other), test::ReadTree(src));
    struct stat copied {};
    ASSERT_EQ(::stat((other + "/f1").c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, 0640u);
    EXPECT_EQ(copied.st_mtime, 1700000000);

    // Again over the first copy, with other bytes and a link planted where a file goes.
    for (std::size_t size : sizes) WriteFile(src + "/f" + std::to_string(size), Content(size + 3).substr(3));
    WriteFile(dir / "victim", "untouched");
    ASSERT_EQ(::unlink((other + "/f4096").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "victim").c_str(), (other + "/f4096").c_str()), 0);
    CFileOperator again;
    ASSERT_EQ(again.CopyFolder(src, other, "", false, false), 1) << again.error();
    EXPECT_EQ(test::ReadTree(other), test::ReadTree(src));
    EXPECT_EQ(test::ReadFile(dir / "victim"), "untouched");
    ASSERT_EQ(::lstat((other + "/f4096").c_str(), &copied), 0);
    EXPECT_TRUE(S_ISREG(copied.st_mode)) << "the link in the way is replaced, never written through";
}

// A job asks the kernel once whether it copies between the two file systems.
TEST_F(CopyAcrossFileSystemsTest, AJobAsksTheKernelOnceWhetherItCopiesBetweenTheFileSystems) {
    fileops::CopyScratch scratch;
    for (int index = 0; index < 3; ++index) {
        const std::string name = "/f" + std::to_string(index);
        WriteFile(src + name, Content(100 + index));
        struct stat info {};
        ASSERT_EQ(::lstat((src + name).c_str(), &info), 0);
        ASSERT_EQ(fileops::CopyEntryData(src + name, info, other + name, false, scratch), 0);
        EXPECT_TRUE(scratch.KernelCopyRefused(info.st_dev));
        EXPECT_EQ(test::ReadFile(other + name), Content(100 + index));
    }
}

}  // namespace
}  // namespace zov
