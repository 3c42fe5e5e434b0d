#include "engine/files/FileOperatorCopyEntry.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace zov::fileops {

namespace {

constexpr std::size_t kChunkBytes = 8u << 20;

bool IsRoot() { return ::geteuid() == 0; }

int WriteAll(int out, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(out, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Whether copy_file_range refuses every file of these file systems, not just this one.
bool RefusedForTheFileSystem(int error) { return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP; }

// Copies from the current offsets to the end of in; 0 or an errno value.
int CopyBytes(int in, int out, const struct stat& info, CopyScratch& scratch) {
    off_t copied = 0;
    while (!scratch.KernelCopyRefused(info.st_dev)) {
        const ssize_t moved = ::copy_file_range(in, nullptr, out, nullptr, kChunkBytes, 0);
        if (moved > 0) {
            copied += moved;
            continue;
        }
        if (moved == 0 && copied >= info.st_size) return 0;
        if (moved < 0 && errno == EINTR) continue;
        if (moved < 0 && copied == 0 && RefusedForTheFileSystem(errno)) {
            scratch.NoteKernelCopyRefused(info.st_dev);
            break;
        }
        // Not supported between these files, or a file that reports no data this way: read and write.
        if (moved == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
            errno == EPERM) {
            break;
        }
        return errno;
    }
    // Across file systems the kernel still moves the bytes from one page cache to the other without a
    // copy through this process, where the target file system takes them that way.
    for (;;) {
        const ssize_t moved = ::sendfile(out, in, nullptr, kChunkBytes);
        if (moved > 0) continue;
        if (moved == 0) return 0;
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == ENOSYS) break;
        return errno;
    }
    char* buffer = scratch.Buffer();
    for (;;) {
        const ssize_t read = ::read(in, buffer, CopyScratch::kBufferBytes);
        if (read == 0) return 0;
        if (read < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (const int code = WriteAll(out, buffer, static_cast<std::size_t>(read))) return code;
    }
}

// Makes the target file new: an existing one is never opened for writing, so a hard link or a link in the
// target never leads the data elsewhere.
int OpenTarget(const std::string& to) {
    return ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

int CopyFileData(const std::string& from, const std::string& to, CopyScratch& scratch) {
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat info {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int code = S_ISREG(info.st_mode) ? errno : ENOTSUP;
        ::close(in);
        return code;
    }
    const int out = OpenTarget(to);
    if (out < 0) {
        const int code = errno;
        ::close(in);
        return code;
    }
    int code = CopyBytes(in, out, info, scratch);
    if (code == 0) {
        // Attributes are kept where the target file system allows it; a refusal does not fail the copy.
        if (scratch.keepsOwners()) (void)!::fchown(out, info.st_uid, info.st_gid);
        (void)!::fchmod(out, info.st_mode & 07777);
        const struct timespec times[2] = {info.st_atim, info.st_mtim};
        (void)!::futimens(out, times);
    }
    if (::close(out) != 0 && code == 0) code = errno;
    ::close(in);
    if (code != 0) ::unlink(to.c_str());
    return code;
}

int CopyLink(const std::string& from, const std::string& to, const struct stat& info, bool keepOwner) {
    std::vector<char> text(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4095) + 1);
    const ssize_t length = ::readlink(from.c_str(), text.data(), text.size());
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) >= text.size()) return ENAMETOOLONG;
    text[static_cast<std::size_t>(length)] = '\0';
    if (::symlink(text.data(), to.c_str()) != 0) return errno;
    if (keepOwner) (void)!::lchown(to.c_str(), info.st_uid, info.st_gid);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    (void)!::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return 0;
}

// Makes way for a copy over the existing entry to: a file or link there is unlinked, never written
// into; 0 or an errno value.
int ClearTarget(const std::string& to, const struct stat& source) {
    struct stat target {};
    if (::lstat(to.c_str(), &target) != 0) return errno == ENOENT ? 0 : errno;
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return EINVAL;
    if (S_ISDIR(target.st_mode)) return EISDIR;
    return ::unlink(to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

char* CopyScratch::Buffer() {
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferBytes);
    return buffer_.get();
}

int CopyEntryData(const std::string& from, const struct stat& source, const std::string& to,
                  bool failIfExists, CopyScratch& scratch) {
    if (!S_ISREG(source.st_mode) && !S_ISLNK(source.st_mode)) return ENOTSUP;
    const auto copy = [&] {
        return S_ISLNK(source.st_mode) ? CopyLink(from, to, source, scratch.keepsOwners())
                                       : CopyFileData(from, to, scratch);
    };
    // Most targets are new: the copy makes them without looking first, and looks only at one in the way.
    const int code = copy();
    if (code != EEXIST || failIfExists) return code;
    if (const int cleared = ClearTarget(to, source)) return cleared;
    return copy();
}

void CopyFolderAttributes(const std::string& source, const std::string& target) {
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0) return;
    if (IsRoot()) (void)!::chown(target.c_str(), info.st_uid, info.st_gid);
    (void)!::chmod(target.c_str(), info.st_mode & 07777);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    (void)!::utimensat(AT_FDCWD, target.c_str(), times, 0);
}

}  // namespace zov::fileops
