#include "tools/rar/DiskWriter.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/FolderWalk.h"

namespace zov::rar {
namespace {

constexpr std::size_t kHoleUnit = 64 * 1024;  // a run of zeros this long and aligned is left as a hole
constexpr int kTemporaryTries = 16;

// ".rar-" and 16 random hexadecimal digits.
bool TemporaryName(std::string& name) {
    unsigned char random[8];
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return false;
    static constexpr char kDigits[] = "0123456789abcdef";
    name = ".rar-";
    for (const unsigned char byte : random) {
        name += kDigits[byte >> 4];
        name += kDigits[byte & 15];
    }
    return true;
}

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// The components of a relative path without "." and empty ones; false for absolute paths and "..".
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty() || path[0] == '/') return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return !parts.empty();
}

bool AllZero(const char* data, std::size_t size) {
    return size > 0 && data[0] == 0 && std::memcmp(data, data + 1, size - 1) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

void SetTimes(int fd, const EntryMetadata& metadata) {
    const timespec times[2] = {metadata.atime, metadata.mtime};
    futimens(fd, times);
}

}  // namespace

DiskWriter::~DiskWriter() {
    if (file_ >= 0) close(file_);
    CloseFolders(0);
    if (root_ >= 0) close(root_);
}

bool DiskWriter::Open(const std::string& destination, std::string& error) {
    root_ = OpenFolderWalk(destination, MissingFolders::Make, 0700);
    if (root_ < 0) error = ErrnoText("cannot create folder", destination);
    return root_ >= 0;
}

void DiskWriter::CloseFolders(std::size_t keep) {
    while (openFds_.size() > keep) {
        close(openFds_.back());
        openFds_.pop_back();
        openNames_.pop_back();
    }
}

// Opens the folders of parts below the root, keeping those already open for the entry before.
int DiskWriter::OpenFolder(const std::vector<std::string>& parts, std::string& error) {
    std::size_t same = 0;
    while (same < openNames_.size() && same < parts.size() && openNames_[same] == parts[same]) ++same;
    CloseFolders(same);
    for (std::size_t i = same; i < parts.size(); ++i) {
        const int parent = i == 0 ? root_ : openFds_.back();
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int fd = openat(parent, parts[i].c_str(), flags);
        // A folder the archive does not list gets the modes the umask leaves, as mkdir gives them.
        if (fd < 0 && errno == ENOENT && (mkdirat(parent, parts[i].c_str(), 0777) == 0 || errno == EEXIST))
            fd = openat(parent, parts[i].c_str(), flags);
        if (fd < 0) {
            // ELOOP or ENOTDIR: a link or a file stands where a folder should be.
            error = ErrnoText("cannot create folder", parts[i]);
            return -1;
        }
        openNames_.push_back(parts[i]);
        openFds_.push_back(fd);
    }
    return parts.empty() ? root_ : openFds_.back();
}

// The folder that holds path, open; leaf gets the last name.
bool DiskWriter::OpenParent(const std::string& path, std::string& leaf, std::string& error) {
    std::vector<std::string> parts;
    if (!SplitPath(path, parts)) {
        error = "refused to create " + path + ": the name leads outside the destination";
        return false;
    }
    leaf = parts.back();
    parts.pop_back();
    return OpenFolder(parts, error) >= 0;
}

// Removes what stands under leaf (never following it) so that the entry can take its place.
bool DiskWriter::Replace(const std::string& leaf, std::string& error) {
    const int parent = CurrentFolder();
    if (unlinkat(parent, leaf.c_str(), 0) == 0 || errno == ENOENT) return true;
    if ((errno == EISDIR || errno == EPERM) && unlinkat(parent, leaf.c_str(), AT_REMOVEDIR) == 0) return true;
    error = ErrnoText("cannot replace", leaf);
    return false;
}

bool DiskWriter::CreateFile(const std::string& path, bool& skipped, std::string& error) {
    skipped = false;
    if (!OpenParent(path, fileLeaf_, error)) return false;
    struct stat st {};
    if (fstatat(CurrentFolder(), fileLeaf_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        skipped = !overwrite_;
        // A folder in the way goes now (when empty); a file or a link is replaced once the new file is whole.
        if (skipped || (S_ISDIR(st.st_mode) && !Replace(fileLeaf_, error))) return skipped;
    }
    if (!CreateTemporary(path, error)) return false;
    written_ = 0;
    return true;
}

bool DiskWriter::CreateTemporary(const std::string& path, std::string& error) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    for (int i = 0; i < kTemporaryTries; ++i) {
        if (!TemporaryName(tempLeaf_)) break;
        file_ = openat(CurrentFolder(), tempLeaf_.c_str(), flags, 0600);
        if (file_ >= 0) return true;
        if (errno != EEXIST) break;
    }
    error = ErrnoText("cannot create", path);
    return false;
}

// The whole file takes its name: over what stands there with overwrite, only where nothing does without it
// (one that came in the meantime is kept).
bool DiskWriter::Settle(std::string& error) {
    const int parent = CurrentFolder();
    const char* from = tempLeaf_.c_str();
    const char* to = fileLeaf_.c_str();
    int renamed = overwrite_ ? renameat(parent, from, parent, to)
                             : renameat2(parent, from, parent, to, RENAME_NOREPLACE);
    if (renamed != 0 && errno == EINVAL && !overwrite_) {
        // A file system without the flag: checked first instead.
        struct stat st {};
        errno = EEXIST;
        if (fstatat(parent, to, &st, AT_SYMLINK_NOFOLLOW) != 0) renamed = renameat(parent, from, parent, to);
    }
    if (renamed == 0) return true;
    if (!overwrite_ && errno == EEXIST) {
        unlinkat(parent, from, 0);
        return true;
    }
    error = ErrnoText("cannot create", fileLeaf_);
    return false;
}

bool DiskWriter::Write(const void* data, std::size_t size, std::int64_t offset, std::string& error) {
    const char* p = static_cast<const char*>(data);
    std::size_t at = 0;
    while (at < size) {
        // Aligned units of zeros are passed over; the rest goes out in one write per run.
        std::size_t run = at;
        while (run < size) {
            const auto position = static_cast<std::size_t>(offset) + run;
            const std::size_t unit = std::min(kHoleUnit - position % kHoleUnit, size - run);
            if (unit == kHoleUnit && AllZero(p + run, unit)) break;
            run += unit;
        }
        if (run > at && !WriteAll(file_, p + at, run - at, static_cast<off_t>(offset + at))) {
            error = ErrnoText("write error in", fileLeaf_);
            return false;
        }
        if (run > at) written_ = offset + static_cast<std::int64_t>(run);
        at = run < size ? run + kHoleUnit : size;
    }
    return true;
}

bool DiskWriter::FinishFile(std::int64_t size, const EntryMetadata& metadata, std::string& error) {
    bool ok = written_ >= size || ftruncate(file_, size) == 0;
    if (ok && restoreOwner_) ok = fchown(file_, metadata.uid, metadata.gid) == 0;
    // After the owner: a change of owner clears the set-id bits.
    if (ok) ok = fchmod(file_, metadata.mode & 07777) == 0;
    if (ok) SetTimes(file_, metadata);
    if (!ok) error = ErrnoText("write error in", fileLeaf_);
    if (close(file_) != 0 && ok) {
        error = ErrnoText("write error in", fileLeaf_);
        ok = false;
    }
    file_ = -1;
    if (ok) ok = Settle(error);
    if (!ok) unlinkat(CurrentFolder(), tempLeaf_.c_str(), 0);
    return ok;
}

void DiskWriter::DiscardFile() {
    if (file_ < 0) return;
    close(file_);
    file_ = -1;
    unlinkat(CurrentFolder(), tempLeaf_.c_str(), 0);
}

bool DiskWriter::MakeFolder(const std::string& path, const EntryMetadata& metadata, std::string& error) {
    std::vector<std::string> parts;
    if (!SplitPath(path, parts)) {
        error = "refused to create " + path + ": the name leads outside the destination";
        return false;
    }
    std::string leaf = parts.back();
    parts.pop_back();
    if (OpenFolder(parts, error) < 0) return false;
    const int parent = CurrentFolder();
    struct stat st {};
    if (mkdirat(parent, leaf.c_str(), 0700) != 0) {
        const bool folderThere = errno == EEXIST &&
                                 fstatat(parent, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                                 S_ISDIR(st.st_mode);
        if (!folderThere &&
            (errno != EEXIST || !Replace(leaf, error) || mkdirat(parent, leaf.c_str(), 0700) != 0)) {
            error = ErrnoText("cannot create folder", path);
            return false;
        }
    }
    folders_.push_back({path, metadata});
    return true;
}

bool DiskWriter::MakeLink(const std::string& path, const std::string& target, const EntryMetadata& metadata,
                          bool& skipped, std::string& error) {
    skipped = false;
    std::string leaf;
    if (!OpenParent(path, leaf, error)) return false;
    const int parent = CurrentFolder();
    if (symlinkat(target.c_str(), parent, leaf.c_str()) != 0) {
        if (errno != EEXIST || !overwrite_) {
            skipped = errno == EEXIST;
            if (!skipped) error = ErrnoText("cannot create", path);
            return skipped;
        }
        if (!Replace(leaf, error)) return false;
        if (symlinkat(target.c_str(), parent, leaf.c_str()) != 0) {
            error = ErrnoText("cannot create", path);
            return false;
        }
    }
    if (restoreOwner_ &&
        fchownat(parent, leaf.c_str(), metadata.uid, metadata.gid, AT_SYMLINK_NOFOLLOW) != 0) {
        error = ErrnoText("cannot set the owner of", path);
        return false;
    }
    return true;
}

bool DiskWriter::Close(std::string& error) {
    CloseFolders(0);
    std::sort(folders_.begin(), folders_.end(),
              [](const FolderFix& a, const FolderFix& b) { return a.path > b.path; });
    bool ok = true;
    for (const FolderFix& folder : folders_) {
        std::vector<std::string> parts;
        SplitPath(folder.path, parts);
        const int fd = OpenFolder(parts, error);
        if (fd < 0) {
            ok = false;
            continue;
        }
        if ((restoreOwner_ && fchown(fd, folder.metadata.uid, folder.metadata.gid) != 0) ||
            fchmod(fd, folder.metadata.mode & 07777) != 0) {
            error = ErrnoText("cannot finish folder", folder.path);
            ok = false;
        }
        SetTimes(fd, folder.metadata);
    }
    CloseFolders(0);
    folders_.clear();
    return ok;
}

}  // namespace zov::rar
