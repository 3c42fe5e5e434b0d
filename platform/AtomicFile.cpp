#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace zov {
namespace {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t written = write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The replacement keeps the old file's mode and owner; a new file is readable by its owner only, since
// settings and task files may hold secrets.
void CopyOwnership(int fd, const std::string& path) {
    struct stat old {};
    if (stat(path.c_str(), &old) != 0) return;
    fchmod(fd, old.st_mode & 07777);
    // Only root may give a file away; otherwise the new file stays the caller's.
    [[maybe_unused]] int ignored = fchown(fd, old.st_uid, old.st_gid);
}

// WriteFileAtomic with the old file's mode, or with mode when it is set.
bool Replace(const std::string& path, std::string_view data, std::optional<mode_t> mode) {
    if (path.empty() || path.back() == '/') return false;
    std::string temp = path + ".tmp-XXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    CopyOwnership(fd, path);
    bool ok = (!mode || fchmod(fd, *mode) == 0) && WriteAll(fd, data) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(FolderOf(path));
    return true;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, std::string_view data) { return Replace(path, data, {}); }

bool WriteFileAtomic(const std::string& path, std::string_view data, mode_t mode) {
    return Replace(path, data, mode);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (fstat(fd, &info) == 0 && static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        close(fd);
        errno = EFBIG;
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            close(fd);
            errno = error;
            return std::nullopt;
        }
        if (got == 0) break;
        // A file that grows while it is read is held to the limit too.
        if (content.size() + static_cast<size_t>(got) > maxBytes) {
            close(fd);
            errno = EFBIG;
            return std::nullopt;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return content;
}

}  // namespace zov
