#include "engine/files/FileOperatorCopyEntry.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "engine/util/CommonRandom.h"

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

constexpr int kPrivateNameTries = 16;

// A name for the copy in progress that no entry of the folder had when it was tried.
std::string PrivateName() { return ".zov-copy-" + MakeRandomName(12, false); }

// Writes the data of from into a new private file of folder, with the attributes of from; 0 or an errno
// value, name receiving the file's name.
int WriteFileCopy(const std::string& from, const FolderHandle& folder, std::string& name,
                  CopyScratch& scratch) {
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat info {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int code = S_ISREG(info.st_mode) ? errno : ENOTSUP;
        ::close(in);
        return code;
    }
    int out = -1;
    for (int tries = 0; out < 0 && tries < kPrivateNameTries; ++tries) {
        name = PrivateName();
        out = ::openat(folder.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0 && errno != EEXIST) break;
    }
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
    if (code != 0) ::unlinkat(folder.fd(), name.c_str(), 0);
    return code;
}

// Makes a new private link of folder with the text and attributes of the link from; 0 or an errno value,
// name receiving the link's name.
int WriteLinkCopy(const std::string& from, const struct stat& info, const FolderHandle& folder,
                  std::string& name, bool keepOwner) {
    std::vector<char> text(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4095) + 1);
    const ssize_t length = ::readlink(from.c_str(), text.data(), text.size());
    if (length < 0) return errno;
    if (static_cast<std::size_t>(length) >= text.size()) return ENAMETOOLONG;
    text[static_cast<std::size_t>(length)] = '\0';
    int made = -1;
    for (int tries = 0; made != 0 && tries < kPrivateNameTries; ++tries) {
        name = PrivateName();
        made = ::symlinkat(text.data(), folder.fd(), name.c_str());
        if (made != 0 && errno != EEXIST) break;
    }
    if (made != 0) return errno;
    if (keepOwner)
        (void)!::fchownat(folder.fd(), name.c_str(), info.st_uid, info.st_gid, AT_SYMLINK_NOFOLLOW);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    (void)!::utimensat(folder.fd(), name.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return 0;
}

// Whether the copy may take the place of the entry name: 0, or an errno value for what is in the way.
int CheckTarget(const FolderHandle& folder, const std::string& name, const struct stat& source,
                bool failIfExists) {
    struct stat target {};
    if (::fstatat(folder.fd(), name.c_str(), &target, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (failIfExists) return EEXIST;
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return EINVAL;
    return S_ISDIR(target.st_mode) ? EISDIR : 0;
}

}  // namespace

char* CopyScratch::Buffer() {
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferBytes);
    return buffer_.get();
}

int CopyEntryData(const std::string& from, const struct stat& source, const FolderHandle& folder,
                  const std::string& name, bool failIfExists, CopyScratch& scratch) {
    if (!S_ISREG(source.st_mode) && !S_ISLNK(source.st_mode)) return ENOTSUP;
    if (!folder.IsOpen()) return EBADF;
    if (const int code = CheckTarget(folder, name, source, failIfExists)) return code;
    std::string made;
    const int code = S_ISLNK(source.st_mode)
                         ? WriteLinkCopy(from, source, folder, made, scratch.keepsOwners())
                         : WriteFileCopy(from, folder, made, scratch);
    if (code != 0) return code;
    const unsigned int flags = failIfExists ? RENAME_NOREPLACE : 0;
    if (::renameat2(folder.fd(), made.c_str(), folder.fd(), name.c_str(), flags) == 0) return 0;
    const int error = errno;
    ::unlinkat(folder.fd(), made.c_str(), 0);
    return error;
}

int CopyEntryData(const std::string& from, const struct stat& source, const std::string& to,
                  bool failIfExists, CopyScratch& scratch) {
    const PathInFolder entry = OpenParent(to);
    if (!entry.folder.IsOpen()) return errno;
    if (entry.name.empty() || entry.name == "." || entry.name == "..") return EINVAL;
    return CopyEntryData(from, source, entry.folder, entry.name, failIfExists, scratch);
}

void CopyFolderAttributes(const std::string& source, const FolderHandle& target) {
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0 || !target.IsOpen()) return;
    if (IsRoot()) (void)!::fchown(target.fd(), info.st_uid, info.st_gid);
    (void)!::fchmod(target.fd(), info.st_mode & 07777);
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    (void)!::futimens(target.fd(), times);
}

}  // namespace zov::fileops
