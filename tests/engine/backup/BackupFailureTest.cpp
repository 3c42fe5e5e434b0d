#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BackupTestSupport.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "platform/Paths.h"

// Runs that fail while they write: a full disk, a dated folder planted as a link, output that cannot be put
// on disk; and the modes of the folders a run makes.
namespace zov {
namespace {

namespace fs = std::filesystem;
using test::AsColumn;
using test::Names;

constexpr int kCopy = kTaskFile | kTaskScheduled;
constexpr int kArchive = kTaskFile | kTaskCompress | kTaskScheduled;

// A small file system on folder for the life of the object, seen only by this process (a mount namespace
// of its own). mounted() is false where mounting is not permitted.
class SmallDisk {
  public:
    SmallDisk(const std::string& folder, const std::string& size) : folder_(folder) {
        fs::create_directories(folder);
        if (::unshare(CLONE_NEWNS) != 0) return;
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return;
        mounted_ = ::mount("zovtest", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    bool AllFree() const {
        struct statvfs info {};
        return ::statvfs(folder_.c_str(), &info) == 0 && info.f_bfree == info.f_blocks;
    }

  private:
    std::string folder_;
    bool mounted_ = false;
};

using BackupFailureTest = test::BackupTest;

TEST_F(BackupFailureTest, AFullDiskFailsTheRunWithTheSystemsReasonAndKeepsNothing) {
    SmallDisk disk(storage_, "512k");
    if (!disk.mounted()) GTEST_SKIP() << "mounting a file system is not permitted here";
    for (const char* name : {"big1.bin", "big2.bin", "big3.bin"}) {
        test::WriteFile(source_ + name, test::RandomBytes(300 << 10));
    }
    const struct {
        const char* what;
        int flags;
        std::string start, reason;
    } cases[] = {
        {"copy", kCopy, "复制文件" + source_, "（No space left on device）"},
        {"archive", kArchive, "使用winrar时发生内部错误", "发生写错误"},
    };
    for (const auto& c : cases) {
        fs::remove(program_ / "Log/Files/2024-03-05.log");
        std::string message;
        EXPECT_EQ(backup_.RunFileTask(Task(c.flags), test::BuiltProgram("rar"), message, job_.Context()), 0)
            << c.what;
        EXPECT_TRUE(message.starts_with(c.start)) << c.what << ": " << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
        EXPECT_EQ(Names(Dated()), std::set<std::string>()) << c.what;
        EXPECT_TRUE(disk.AllFree()) << c.what;
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u) << c.what;
        EXPECT_EQ(lines[0][8], "失败") << c.what;
        EXPECT_EQ(lines[0][9], AsColumn(message)) << c.what;
        EXPECT_EQ(CurrentTask(), "") << c.what;
    }
}

TEST_F(BackupFailureTest, ADatedFolderThatIsALinkIsNotWrittenThrough) {
    const std::string outside = program_ / "elsewhere";
    fs::create_directories(outside);
    fs::create_directories(storage_);
    fs::create_directory_symlink(outside, CleanPath(Dated()));
    for (const int flags : {kCopy, kArchive}) {
        fs::remove(program_ / "Log/Files/2024-03-05.log");
        std::string message;
        EXPECT_EQ(backup_.RunFileTask(Task(flags), test::BuiltProgram("rar"), message, job_.Context()), 0)
            << flags;
        EXPECT_EQ(message, "备份时，目录" + Dated() + "是符号链接而不是文件夹，备份未执行") << flags;
        EXPECT_EQ(Names(outside), std::set<std::string>()) << flags;
        EXPECT_TRUE(fs::is_symlink(CleanPath(Dated()))) << flags;
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u) << flags;
        EXPECT_EQ(lines[0][8], "失败") << flags;
        EXPECT_EQ(lines[0][9], message) << flags;
    }
}

// A backup whose sync notes what the dated folder and the file log held at that moment and then gives
// the result it was told.
class SyncWatch : public CBackup {
  public:
    SyncWatch(std::string datedFolder, std::string logFile, int result)
        : datedFolder_(std::move(datedFolder)), logFile_(std::move(logFile)), result_(result) {}

    std::vector<std::set<std::string>> datedSeen;
    std::vector<std::string> logSeen;

  protected:
    int SyncToDisk(int folderFd) override {
        EXPECT_GE(folderFd, 0);
        datedSeen.push_back(Names(datedFolder_));
        logSeen.push_back(test::ReadFile(logFile_));
        return result_;
    }

  private:
    std::string datedFolder_, logFile_;
    int result_;
};

using BackupSyncTest = test::BackupTest;

TEST_F(BackupSyncTest, ARunIsRecordedOnlyAfterItsOutputIsOnDisk) {
    const std::string rar = test::BuiltProgram("rar");
    const struct {
        const char* what;
        int flags;
        std::string writing, done;
    } cases[] = {
        {"copy", kCopy, PartialSetName(test::kStamp, 12), Set()},
        {"archive", kArchive, PartialSetName(test::kStamp, 12), Set() + ".rar"},
    };
    for (const auto& c : cases) {
        fs::remove_all(storage_);
        fs::remove(program_ / "Log/Files/2024-03-05.log");
        SyncWatch backup(Dated(), program_ / "Log/Files/2024-03-05.log", 0);
        std::string message;
        ASSERT_EQ(backup.RunFileTask(Task(c.flags), rar, message, job_.Context()), 1)
            << c.what << ": " << message;
        ASSERT_EQ(backup.datedSeen.size(), 1u) << c.what;
        EXPECT_EQ(backup.datedSeen[0], std::set<std::string>{c.writing}) << c.what;
        EXPECT_EQ(backup.logSeen[0], "") << c.what;
        EXPECT_EQ(Names(Dated()), std::set<std::string>{c.done}) << c.what;
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u) << c.what;
        EXPECT_EQ(lines[0][8], "成功") << c.what;
    }
}

TEST_F(BackupSyncTest, OutputThatCannotBePutOnDiskFailsTheRunAndGoes) {
    const std::string rar = test::BuiltProgram("rar");
    for (const int flags : {kCopy, kArchive}) {
        fs::remove_all(storage_);
        fs::remove(program_ / "Log/Files/2024-03-05.log");
        SyncWatch backup(Dated(), program_ / "Log/Files/2024-03-05.log", EIO);
        std::string message;
        EXPECT_EQ(backup.RunFileTask(Task(flags), rar, message, job_.Context()), 0) << flags;
        EXPECT_EQ(message, "备份时，写入磁盘失败（Input/output error）") << flags;
        EXPECT_EQ(Names(Dated()), std::set<std::string>()) << flags;
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u) << flags;
        EXPECT_EQ(lines[0][8], "失败") << flags;
        EXPECT_EQ(lines[0][9], message) << flags;
        EXPECT_EQ(CurrentTask(), "") << flags;
    }
}

TEST_F(BackupFailureTest, FoldersTheRunMakesArePrivateWhateverTheUmask) {
    const mode_t previous = ::umask(0);
    std::string message;
    const bool copied = backup_.RunFileTask(Task(kCopy), "", message, job_.Context()) == 1;
    const bool packed = copied && backup_.RunFileTask(Task(kArchive), test::BuiltProgram("rar"), message,
                                                      job_.Context()) == 1;
    ::umask(previous);
    ASSERT_TRUE(copied && packed) << message;
    for (const std::string& folder : {storage_, Dated(), Dated() + Set()}) {
        struct stat info {};
        ASSERT_EQ(::lstat(CleanPath(folder).c_str(), &info), 0) << folder;
        EXPECT_EQ(info.st_mode & 07777, 0700u) << folder;
    }
}

}  // namespace
}  // namespace zov
