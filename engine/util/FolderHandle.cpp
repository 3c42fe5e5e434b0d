#include "engine/util/FolderHandle.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "platform/Paths.h"

namespace zov {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool IsDotName(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

FolderHandle::~FolderHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FolderHandle FolderHandle::Open(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return {};
    }
    return FolderHandle(::open(path.c_str(), kFolderFlags));
}

FolderHandle FolderHandle::OpenReal(const std::string& path) {
    // A trailing '/' would make the kernel resolve a final link despite O_NOFOLLOW.
    const std::string clean = CleanPath(path);
    if (clean.empty()) {
        errno = ENOENT;
        return {};
    }
    return FolderHandle(::open(clean.c_str(), kFolderFlags | O_NOFOLLOW));
}

FolderHandle FolderHandle::OpenWalk(const std::string& path, MissingFolders missing) {
    return FolderHandle(OpenFolderWalk(path, missing));
}

FolderHandle FolderHandle::Child(const std::string& name) const {
    if (fd_ < 0 || name.empty() || IsDotName(name) || name.find('/') != std::string::npos) {
        errno = EINVAL;
        return {};
    }
    return FolderHandle(::openat(fd_, name.c_str(), kFolderFlags | O_NOFOLLOW));
}

FolderHandle FolderHandle::MakeChild(const std::string& name) const {
    FolderHandle child = Child(name);
    if (child.IsOpen() || errno != ENOENT) return child;
    if (::mkdirat(fd_, name.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return Child(name);
}

std::optional<std::vector<std::string>> FolderHandle::List() const {
    // A descriptor of its own: reading must not move this handle's position.
    const int fd = fd_ < 0 ? -1 : ::openat(fd_, ".", kFolderFlags);
    if (fd < 0) return std::nullopt;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsDotName(entry->d_name)) names.emplace_back(entry->d_name);
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0) {
        errno = error;
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FolderHandle::Entries() const { return List().value_or(std::vector<std::string>{}); }

EntryKind FolderHandle::Kind(const std::string& name) const {
    struct stat info {};
    if (fd_ < 0 || ::fstatat(fd_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT ? EntryKind::Missing : EntryKind::Unreadable;
    }
    if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
    if (S_ISREG(info.st_mode)) return EntryKind::File;
    if (S_ISLNK(info.st_mode)) return EntryKind::Link;
    return EntryKind::Other;
}

int FolderHandle::Remove(const std::string& name) const {
    if (name.empty() || IsDotName(name)) return EPERM;
    if (name.find('/') != std::string::npos) return EINVAL;
    if (fd_ < 0) return EBADF;
    const EntryKind kind = Kind(name);
    if (kind == EntryKind::Missing || kind == EntryKind::Unreadable) return errno;
    if (kind != EntryKind::Folder) return ::unlinkat(fd_, name.c_str(), 0) == 0 ? 0 : errno;
    const FolderHandle folder = Child(name);
    if (!folder.IsOpen()) {
        // Replaced by a link or a file since it was examined: that entry goes, never what it points to.
        if (errno == ELOOP || errno == ENOTDIR) return ::unlinkat(fd_, name.c_str(), 0) == 0 ? 0 : errno;
        return errno;
    }
    const auto names = folder.List();
    if (!names) return errno;
    for (const std::string& entry : *names) {
        if (const int error = folder.Remove(entry); error != 0) return error;
    }
    return ::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

PathInFolder OpenParent(const std::string& path) {
    const std::string clean = CleanPath(path);
    const std::size_t slash = clean.rfind('/');
    if (slash == std::string::npos) return {FolderHandle::Open(clean.empty() ? "" : "."), clean};
    return {FolderHandle::Open(slash == 0 ? "/" : clean.substr(0, slash)), clean.substr(slash + 1)};
}

int RemovePath(const std::string& path) {
    const PathInFolder entry = OpenParent(path);
    if (!entry.folder.IsOpen() && !entry.name.empty() && !IsDotName(entry.name)) return errno;
    return entry.folder.Remove(entry.name);
}

}  // namespace zov
