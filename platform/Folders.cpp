#include "platform/Folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Paths.h"

namespace zov {
namespace {

constexpr mode_t kPrivateFolderMode = 0700;

// A folder that exists afterwards counts, whoever created it.
bool EnsureFolder(const std::string& folder, mode_t mode) {
    return MakeFolder(folder, mode) || IsDirectory(folder);
}

std::string ParentOf(const std::string& folder) { return folder.substr(0, folder.rfind('/')); }

// Checked and narrowed through the opened folder, so that nothing swapped in meanwhile is changed.
bool MakeOpenedFolderPrivate(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    if (info.st_uid != geteuid()) {
        errno = EPERM;
        return false;
    }
    return (info.st_mode & 07777) == kPrivateFolderMode || fchmod(fd, kPrivateFolderMode) == 0;
}

}  // namespace

bool MakeFolder(const std::string& folder, mode_t mode) {
    if (mkdir(folder.c_str(), mode) != 0) return false;
    // Set through the opened folder, without following a link put there meanwhile.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        (void)!fchmod(fd, mode);
        close(fd);
    }
    return true;
}

bool CreateFolderChain(const std::string& path, mode_t mode) {
    std::string folder = CleanPath(path);
    if (folder.empty()) return false;
    for (size_t end = folder.find('/', 1); end != std::string::npos; end = folder.find('/', end + 1)) {
        if (!EnsureFolder(folder.substr(0, end), mode)) return false;
    }
    return EnsureFolder(folder, mode);
}

bool EnsurePrivateFolder(const std::string& path) {
    const std::string folder = CleanPath(path);
    if (folder.empty() || folder == "/") {
        errno = EINVAL;
        return false;
    }
    if (mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno == ENOENT) {
        const std::string parent = ParentOf(folder);
        if (!parent.empty() && !CreateFolderChain(parent)) return false;
        mkdir(folder.c_str(), kPrivateFolderMode);
    }
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat entry {};
        if ((errno == ENOTDIR || errno == ELOOP) && lstat(folder.c_str(), &entry) == 0) {
            errno = S_ISLNK(entry.st_mode) ? ELOOP : EEXIST;
        }
        return false;
    }
    const bool made = MakeOpenedFolderPrivate(fd);
    const int error = errno;
    close(fd);
    errno = error;
    return made;
}

}  // namespace zov
