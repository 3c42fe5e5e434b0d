#include "platform/Mailslot.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {
namespace {

constexpr const char* kSocketSuffix = ".sock";

using SocketAddress = std::pair<sockaddr_un, socklen_t>;

bool IsSlotName(const std::string& slot) {
    return !slot.empty() && slot != "." && slot != ".." && slot.find('/') == std::string::npos;
}

std::string SocketName(const std::string& slot) { return slot + kSocketSuffix; }

// An open folder that names the sockets in it as "/proc/self/fd/<n>/<name>": short whatever the folder's
// path, and always the folder that was opened (never one reached through a link).
class OpenFolder {
  public:
    // Without a trailing '/', which would follow a link in the folder's place.
    OpenFolder(const std::string& folder, int flags)
        : fd_(open(CleanPath(folder).c_str(), flags | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {}
    ~OpenFolder() {
        if (fd_ >= 0) close(fd_);
    }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int fd() const { return fd_; }

    std::optional<SocketAddress> Address(const std::string& name) const {
        if (fd_ < 0) return std::nullopt;
        const std::string path = "/proc/self/fd/" + std::to_string(fd_) + "/" + name;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() >= sizeof address.sun_path) return std::nullopt;
        std::memcpy(address.sun_path, path.data(), path.size());
        return SocketAddress{address,
                             static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1)};
    }

  private:
    int fd_;
};

const sockaddr* AsSockaddr(const SocketAddress& address) {
    return reinterpret_cast<const sockaddr*>(&address.first);
}

// A socket file that refuses a connection has no reader: it was left by one that died.
bool IsStale(const SocketAddress& address) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool stale = connect(fd, AsSockaddr(address), address.second) != 0 && errno == ECONNREFUSED;
    close(fd);
    return stale;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

bool IsInstanceLockOf(const FileLock& lock, const std::string& programDir) {
    return lock.held() && CleanPath(FolderOf(lock.path())) == CleanPath(RunFolderOf(programDir));
}

}  // namespace

std::string MailslotPath(const std::string& programDir, const std::string& slot) {
    return RunFolderOf(programDir) + SocketName(slot);
}

MailslotReader::MailslotReader(const std::string& programDir, const std::string& slot) {
    Bind(programDir, slot, false);
}

MailslotReader::MailslotReader(const std::string& programDir, const std::string& slot,
                               const FileLock& instanceLock) {
    if (IsInstanceLockOf(instanceLock, programDir)) Bind(programDir, slot, true);
}

void MailslotReader::Bind(const std::string& programDir, const std::string& slot, bool replaceStale) {
    if (!IsSlotName(slot)) return;
    std::optional<std::string> run = PrivateRunFolder(programDir);
    if (!run) return;
    OpenFolder folder(*run, O_RDONLY);
    const std::string name = SocketName(slot);
    std::optional<SocketAddress> address = folder.Address(name);
    if (!address) return;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    bool bound = bind(fd, AsSockaddr(*address), address->second) == 0;
    if (!bound && errno == EADDRINUSE && replaceStale && IsStale(*address) &&
        unlinkat(folder.fd(), name.c_str(), 0) == 0) {
        bound = bind(fd, AsSockaddr(*address), address->second) == 0;
    }
    struct stat info {};
    if (!bound || fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
    path_ = *run + name;
    device_ = info.st_dev;
    inode_ = info.st_ino;
}

MailslotReader::~MailslotReader() {
    if (fd_ < 0) return;
    close(fd_);
    // Only the file this reader bound: a later reader's file stays.
    struct stat info {};
    if (lstat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_) {
        unlink(path_.c_str());
    }
}

std::optional<std::string> MailslotReader::Receive(std::chrono::milliseconds timeout) {
    if (fd_ < 0) return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        pollfd waiting{fd_, POLLIN, 0};
        int ready = poll(&waiting, 1, static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        // Peek at the real size first so that the whole datagram is taken.
        ssize_t size = recv(fd_, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (size < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return std::nullopt;
        }
        std::string message(static_cast<size_t>(size), '\0');
        ssize_t got = recv(fd_, message.data(), message.size(), MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return std::nullopt;
        }
        message.resize(static_cast<size_t>(got));
        return message;
    }
}

bool MailslotWrite(const std::string& programDir, const std::string& slot, std::string_view message) {
    if (!IsSlotName(slot)) return false;
    OpenFolder folder(RunFolderOf(programDir), O_PATH);
    std::optional<SocketAddress> address = folder.Address(SocketName(slot));
    if (!address) return false;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const ssize_t sent = sendto(fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                AsSockaddr(*address), address->second);
    close(fd);
    return sent == static_cast<ssize_t>(message.size());
}

}  // namespace zov
