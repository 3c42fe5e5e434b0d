#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace zov {
namespace {

constexpr mode_t kLockFileMode = 0600;
constexpr std::chrono::milliseconds kRetryPause{1};

// The lock file opened for locking, or -1 (errno set).
int OpenLockFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kLockFileMode);
    if (fd < 0) return -1;
    struct stat info {};
    int error = 0;
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    } else if ((info.st_mode & 07777) != kLockFileMode && info.st_uid == geteuid() &&
               fchmod(fd, kLockFileMode) != 0) {
        error = errno;
    }
    if (error == 0) return fd;
    close(fd);
    errno = error;
    return -1;
}

int LockFlags(FileLock::Mode mode) { return mode == FileLock::Mode::Shared ? LOCK_SH : LOCK_EX; }

// The descriptor fd locked, or -1 (errno set; fd closed). Waiting polls without blocking, so that it ends
// with the bound.
int LockedFd(int fd, int flags, std::chrono::milliseconds bound) {
    if (fd < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (flock(fd, flags | LOCK_NB) == 0) return fd;
        const int error = errno;
        if (error == EINTR) continue;
        const auto now = std::chrono::steady_clock::now();
        if (error != EWOULDBLOCK || now >= deadline) {
            close(fd);
            errno = error == EWOULDBLOCK && bound.count() > 0 ? ETIMEDOUT : error;
            return -1;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kRetryPause, deadline - now));
    }
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {
    other.path_.clear();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

FileLock::~FileLock() { Release(); }

FileLock FileLock::Acquire(const std::string& path, Mode mode, std::chrono::milliseconds bound) {
    const int fd = LockedFd(OpenLockFile(path), LockFlags(mode), bound);
    return fd >= 0 ? FileLock(fd, path) : FileLock();
}

FileLock FileLock::AcquireFolder(const std::string& folder, Mode mode, std::chrono::milliseconds bound) {
    const int opened = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int fd = LockedFd(opened, LockFlags(mode), bound);
    return fd >= 0 ? FileLock(fd, folder) : FileLock();
}

FileLock FileLock::TryAcquire(const std::string& path, Mode mode) {
    return Acquire(path, mode, std::chrono::milliseconds(0));
}

void FileLock::Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    path_.clear();
}

}  // namespace zov
