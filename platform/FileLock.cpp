#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zov {
namespace {

int OpenLockFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // An existing lock file we may not write can still be locked.
    if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

int LockFlags(FileLock::Mode mode) { return mode == FileLock::Mode::Shared ? LOCK_SH : LOCK_EX; }

int LockedFd(const std::string& path, int flags) {
    int fd = OpenLockFile(path);
    if (fd < 0) return -1;
    int result;
    do {
        result = flock(fd, flags);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileLock::~FileLock() { Release(); }

FileLock FileLock::Acquire(const std::string& path, Mode mode) {
    return FileLock(LockedFd(path, LockFlags(mode)));
}

FileLock FileLock::TryAcquire(const std::string& path, Mode mode) {
    return FileLock(LockedFd(path, LockFlags(mode) | LOCK_NB));
}

void FileLock::Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

}  // namespace zov
