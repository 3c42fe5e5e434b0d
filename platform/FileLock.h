#pragma once

#include <chrono>
#include <string>
#include <utility>

namespace zov {

// An flock held on a file for the life of the object; the kernel drops it when the process dies. The lock
// file is created with mode 0600 (a wider mode of our own file is narrowed) and never through a symbolic
// link; its folder must exist. Lock files belong in the program folder's private "run/" (PrivateRunFolder),
// so that no other user can open them.
class FileLock {
  public:
    enum class Mode { Shared, Exclusive };

    // The longest Acquire waits, unless told otherwise, for a lock another holder has.
    static constexpr std::chrono::milliseconds kWaitBound{5000};

    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Waits at most bound for the lock; not held() when it was not had in time (errno ETIMEDOUT) or the
    // file cannot be opened (errno set).
    static FileLock Acquire(const std::string& path, Mode mode, std::chrono::milliseconds bound = kWaitBound);
    // The same on a folder itself (its last level not a link), for the writers of that folder.
    static FileLock AcquireFolder(const std::string& folder, Mode mode,
                                  std::chrono::milliseconds bound = kWaitBound);
    // Does not wait; not held() when another holder has it (errno EWOULDBLOCK) or on error.
    static FileLock TryAcquire(const std::string& path, Mode mode);

    bool held() const { return fd_ >= 0; }
    // The lock file while held, else "".
    const std::string& path() const { return path_; }
    void Release();

  private:
    FileLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_ = -1;
    std::string path_;
};

}  // namespace zov
