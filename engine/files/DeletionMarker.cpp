#include "engine/files/DeletionMarker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "engine/files/BackupNames.h"
#include "engine/util/Md5.h"

namespace zov {
namespace {

// The MD5 of name without the line end that Md5Hex adds.
std::string DigestOf(std::string_view name) {
    std::string digest = Md5Hex(name);
    if (!digest.empty() && digest.back() == '\n') digest.pop_back();
    return digest;
}

bool IsOnePathLevel(std::string_view name) {
    return !name.empty() && name.size() <= NAME_MAX && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool FitsFirstForm(std::string_view name) { return name.size() + kDeletionMarker.size() <= NAME_MAX; }

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// The content of the long marker of folder, at most one byte more than a name holds; nullopt when it is
// not a file or cannot be read.
std::optional<std::string> ReadLongMarker(const FolderHandle& folder, const std::string& marker) {
    const int fd = ::openat(folder.fd(), marker.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::optional<std::string> content;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::string text(NAME_MAX + 1, '\0');
        std::size_t size = 0;
        for (;;) {
            const ssize_t got = ::read(fd, text.data() + size, text.size() - size);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) break;
            size += static_cast<std::size_t>(got);
            if (got == 0 || size == text.size()) {
                text.resize(size);
                content = std::move(text);
                break;
            }
        }
    }
    ::close(fd);
    return content;
}

}  // namespace

std::string DeletionMarkerOf(std::string_view name) {
    if (FitsFirstForm(name)) return std::string(name) + std::string(kDeletionMarker);
    return DigestOf(name) + std::string(kLongDeletionMarker);
}

int WriteDeletionMarker(const std::string& folder, std::string_view name) {
    const std::string marker = folder + (folder.ends_with('/') ? "" : "/") + DeletionMarkerOf(name);
    const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int code = errno;
        struct stat info {};
        return code == EEXIST && ::lstat(marker.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? 0 : code;
    }
    int code = FitsFirstForm(name) ? 0 : WriteAll(fd, name);
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code != 0) ::unlink(marker.c_str());
    return code;
}

std::optional<std::string> DeletedNameOf(const FolderHandle& folder, const std::string& marker) {
    if (!IsDeletionMarker(marker)) return std::nullopt;
    std::optional<std::string> name;
    if (IsLongDeletionMarker(marker)) {
        name = ReadLongMarker(folder, marker);
        if (name && DeletionMarkerOf(*name) != marker) return std::nullopt;
    } else {
        name = std::string(MarkedName(marker));
    }
    if (!name || !IsOnePathLevel(*name)) return std::nullopt;
    return name;
}

}  // namespace zov
