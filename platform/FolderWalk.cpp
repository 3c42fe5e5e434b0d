#include "platform/FolderWalk.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

namespace zov {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr int kMaxLinks = 40;

void PushFrontComponents(const std::string& path, std::deque<std::string>& rest) {
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    rest.insert(rest.begin(), parts.begin(), parts.end());
}

// Only root made the link name in folder and only root can replace it.
bool IsRootsLink(int folder, const std::string& name) {
    struct stat link {};
    struct stat holder {};
    if (::fstatat(folder, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode))
        return false;
    if (::fstat(folder, &holder) != 0) return false;
    const bool othersWrite = (holder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return link.st_uid == 0 && holder.st_uid == 0 && (!othersWrite || (holder.st_mode & S_ISVTX) != 0);
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void Reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

}  // namespace

int OpenFolderWalk(const std::string& path, MissingFolders missing, mode_t mode) {
    if (path.empty() || path[0] != '/') {
        errno = EINVAL;
        return -1;
    }
    std::deque<std::string> rest;
    PushFrontComponents(path, rest);
    Descriptor current(::open("/", kFolderFlags));
    if (current.get() < 0) return -1;
    int links = 0;
    while (!rest.empty()) {
        const std::string name = rest.front();
        rest.pop_front();
        if (name == ".") continue;
        int fd = ::openat(current.get(), name.c_str(), kFolderFlags | O_NOFOLLOW);
        if (fd < 0 && errno == ENOENT && missing == MissingFolders::Make) {
            if (::mkdirat(current.get(), name.c_str(), mode) != 0 && errno != EEXIST) return -1;
            fd = ::openat(current.get(), name.c_str(), kFolderFlags | O_NOFOLLOW);
        }
        if (fd >= 0) {
            current.Reset(fd);
            continue;
        }
        if (errno != ELOOP && errno != ENOTDIR) return -1;
        if (!IsRootsLink(current.get(), name)) {
            struct stat entry {};
            const bool link = ::fstatat(current.get(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISLNK(entry.st_mode);
            errno = link ? ELOOP : ENOTDIR;
            return -1;
        }
        if (++links > kMaxLinks) {
            errno = ELOOP;
            return -1;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(current.get(), name.c_str(), target, sizeof target);
        if (length < 0) return -1;
        if (static_cast<std::size_t>(length) == sizeof target) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::string to(target, static_cast<std::size_t>(length));
        PushFrontComponents(to, rest);
        if (!to.empty() && to[0] == '/') {
            current.Reset(::open("/", kFolderFlags));
            if (current.get() < 0) return -1;
        }
    }
    return current.Release();
}

}  // namespace zov
