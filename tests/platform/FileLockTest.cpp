#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

#include "platform/FileLock.h"
#include "platform/IniProfile.h"
#include "platform/ProgramDir.h"
#include "support/NobodyChild.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

// A child process that takes the lock, reports through a pipe and then waits to be killed.
pid_t ChildHoldingLock(const std::string& path, FileLock::Mode mode) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        FileLock lock = FileLock::Acquire(path, mode);
        char held = lock.held() ? '1' : '0';
        if (write(ready[1], &held, 1) != 1) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    char held = '0';
    bool reported = read(ready[0], &held, 1) == 1 && held == '1';
    close(ready[0]);
    if (!reported && child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

void KillAndReap(pid_t child) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(FileLockTest, ExclusiveHolderInAnotherProcessKeepsOthersOut) {
    test::TempProgramDir dir;
    const std::string path = dir / "run/zovsvc.lock";
    ASSERT_EQ(mkdir((dir / "run").c_str(), 0755), 0);
    pid_t child = ChildHoldingLock(path, FileLock::Mode::Exclusive);
    ASSERT_GT(child, 0);
    EXPECT_FALSE(FileLock::TryAcquire(path, FileLock::Mode::Exclusive).held());
    EXPECT_FALSE(FileLock::TryAcquire(path, FileLock::Mode::Shared).held());
    KillAndReap(child);
    EXPECT_TRUE(FileLock::TryAcquire(path, FileLock::Mode::Exclusive).held())
        << "the kernel drops a dead holder's lock";
}

TEST(FileLockTest, SharedHoldersCoexistButKeepWritersOut) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.lock";
    pid_t child = ChildHoldingLock(path, FileLock::Mode::Shared);
    ASSERT_GT(child, 0);
    EXPECT_TRUE(FileLock::TryAcquire(path, FileLock::Mode::Shared).held());
    EXPECT_FALSE(FileLock::TryAcquire(path, FileLock::Mode::Exclusive).held());
    KillAndReap(child);
}

TEST(FileLockTest, LocksOfOneProcessExcludeEachOtherAndMoveAndRelease) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.lock";
    FileLock first = FileLock::TryAcquire(path, FileLock::Mode::Exclusive);
    ASSERT_TRUE(first.held());
    EXPECT_FALSE(FileLock::TryAcquire(path, FileLock::Mode::Exclusive).held());
    FileLock moved = std::move(first);
    EXPECT_FALSE(first.held());
    EXPECT_TRUE(moved.held());
    EXPECT_FALSE(FileLock::TryAcquire(path, FileLock::Mode::Exclusive).held());
    moved.Release();
    EXPECT_TRUE(FileLock::TryAcquire(path, FileLock::Mode::Exclusive).held());
    EXPECT_FALSE(FileLock::TryAcquire(dir / "missing/test.lock", FileLock::Mode::Exclusive).held());
}

TEST(FileLockTest, LockIsNotInheritedByExecutedPrograms) {
    test::TempProgramDir dir;
    const std::string path = dir / "test.lock";
    FileLock lock = FileLock::Acquire(path, FileLock::Mode::Exclusive);
    ASSERT_TRUE(lock.held());
    int execDone[2];  // closed on exec, so reading it ends once the child runs the new program
    ASSERT_EQ(pipe2(execDone, O_CLOEXEC), 0);
    pid_t child = fork();
    if (child == 0) {
        execl("/bin/sleep", "sleep", "5", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    close(execDone[1]);
    char ignored;
    EXPECT_EQ(read(execDone[0], &ignored, 1), 0);
    close(execDone[0]);
    lock.Release();
    EXPECT_TRUE(FileLock::TryAcquire(path, FileLock::Mode::Exclusive).held());
    KillAndReap(child);
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A program folder others may enter, as installed; its run/ and the lock files in it are ours alone, also
// when an older version left them open to everyone.
TEST(FileLockTest, OtherUsersCannotOpenOrTakeTheLocks) {
    test::TempProgramDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "run").c_str(), 0755), 0);
    const std::string older = dir / "run/zovsvc.lock";
    ASSERT_EQ(close(open(older.c_str(), O_CREAT | O_WRONLY, 0644)), 0);
    ASSERT_EQ(chmod(older.c_str(), 0644), 0);

    ASSERT_TRUE(ini::Write(dir / "temp.ini", "RUNNING", "TIME_1", "08:00"));
    std::optional<std::string> run = PrivateRunFolder(dir.path());
    ASSERT_TRUE(run.has_value());
    EXPECT_TRUE(FileLock::TryAcquire(*run + "zovsvc.lock", FileLock::Mode::Exclusive).held());
    EXPECT_EQ(ModeOf(dir / "run"), 0700u);

    const std::string locks[] = {ini::LockPath(dir / "temp.ini"), older};
    for (const std::string& lock : locks) {
        EXPECT_EQ(lock.rfind(dir / "run/", 0), 0u) << lock;
        EXPECT_EQ(ModeOf(lock), 0600u) << lock;
        EXPECT_TRUE(test::AsNobody([&] {
            return open(lock.c_str(), O_RDONLY) < 0 && errno == EACCES &&
                   !FileLock::TryAcquire(lock, FileLock::Mode::Shared).held();
        })) << lock;
    }
}

TEST(FileLockTest, RunFolderIsUsedOnlyWhenItIsOurOwnRealFolder) {
    struct Case {
        const char* name;
        std::function<void(const std::string& run, const std::string& elsewhere)> plant;
        int error;  // 0: usable
    };
    const Case cases[] = {
        {"missing", [](const std::string&, const std::string&) {}, 0},
        {"wide folder of ours", [](const std::string& run, const std::string&) { mkdir(run.c_str(), 0777); },
         0},
        {"link to a folder",
         [](const std::string& run, const std::string& elsewhere) {
             symlink(elsewhere.c_str(), run.c_str());
         },
         ELOOP},
        {"file", [](const std::string& run, const std::string&) { test::WriteFile(run, ""); }, EEXIST},
        {"folder of another user",
         [](const std::string& run, const std::string&) {
             mkdir(run.c_str(), 0755);
             chown(run.c_str(), 65534, 65534);
         },
         EPERM},
    };
    for (const Case& c : cases) {
        test::TempProgramDir dir;
        const std::string run = dir / "run";
        ASSERT_EQ(mkdir((dir / "elsewhere").c_str(), 0755), 0);
        c.plant(run, dir / "elsewhere");
        errno = 0;
        std::optional<std::string> folder = PrivateRunFolder(dir.path());
        EXPECT_EQ(folder.has_value(), c.error == 0) << c.name;
        EXPECT_EQ(ini::Write(dir / "temp.ini", "A", "x", "1"), c.error == 0) << c.name;
        if (c.error == 0) {
            EXPECT_EQ(ModeOf(run), 0700u) << c.name;
            continue;
        }
        EXPECT_EQ(PrivateRunFolder(dir.path()), std::nullopt);
        EXPECT_EQ(errno, c.error) << c.name;
        EXPECT_NE(ini::LastFailure().find("run/"), std::string::npos) << c.name << ": " << ini::LastFailure();
        EXPECT_EQ(ModeOf(dir / "elsewhere"), 0755u) << c.name;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "elsewhere")) << c.name;
    }
}

TEST(FileLockTest, WaitingEndsWithTheBoundAndLinksAreNotFollowed) {
    test::TempProgramDir dir;
    const std::string path = dir / "held.lock";
    pid_t child = ChildHoldingLock(path, FileLock::Mode::Exclusive);
    ASSERT_GT(child, 0);
    const auto start = std::chrono::steady_clock::now();
    FileLock waited = FileLock::Acquire(path, FileLock::Mode::Shared, std::chrono::milliseconds(300));
    const int error = errno;
    const auto waitedFor = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(waited.held());
    EXPECT_EQ(error, ETIMEDOUT);
    EXPECT_GE(waitedFor, std::chrono::milliseconds(300));
    EXPECT_LT(waitedFor, std::chrono::seconds(2));
    KillAndReap(child);

    const std::string target = dir / "target";
    ASSERT_EQ(symlink(target.c_str(), (dir / "planted.lock").c_str()), 0);
    EXPECT_FALSE(FileLock::Acquire(dir / "planted.lock", FileLock::Mode::Exclusive).held());
    EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace zov
