#pragma once

#include <string>

namespace zov {

// An flock held on a file (created when missing) for the life of the object; the kernel drops it when
// the process dies.
class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // Waits for the lock.
    static FileLock Acquire(const std::string& path, Mode mode);
    // Does not wait; the result is not held() when another holder has it.
    static FileLock TryAcquire(const std::string& path, Mode mode);

    bool held() const { return fd_ >= 0; }
    void Release();

private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace zov
