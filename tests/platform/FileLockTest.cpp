#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

#include "platform/FileLock.h"
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

}  // namespace
}  // namespace zov
