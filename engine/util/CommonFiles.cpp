#include "engine/util/CommonFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "engine/util/FolderHandle.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// Reads until length bytes or the end of the file: the count, or -1 on an error.
ssize_t ReadFully(int fd, char* buffer, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, buffer + done, length - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

bool ReadTextFile(std::string& out, const std::string& path, bool keepLineEnds) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open() || IsDirectory(path)) return false;
    std::string text;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text += line;
        if (keepLineEnds) text += '\n';
    }
    if (in.bad()) return false;
    out = std::move(text);
    return true;
}

bool ReadFileToBuffer(const std::string& path, char* buffer, std::size_t length) {
    if (buffer == nullptr) return false;
    std::memset(buffer, 0, length);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    const std::size_t read = std::fread(buffer, 1, length, file);
    const bool complete = read == length || std::feof(file) != 0;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return complete && !failed;
}

bool FilesHaveSameContent(const std::string& pathA, const std::string& pathB) {
    constexpr std::size_t kChunk = 256 * 1024;
    const int a = ::open(pathA.c_str(), O_RDONLY | O_CLOEXEC);
    const int b = a < 0 ? -1 : ::open(pathB.c_str(), O_RDONLY | O_CLOEXEC);
    bool same = a >= 0 && b >= 0;
    if (same) {
        ::posix_fadvise(a, 0, 0, POSIX_FADV_SEQUENTIAL);
        ::posix_fadvise(b, 0, 0, POSIX_FADV_SEQUENTIAL);
        // Kept per thread: a fresh buffer per pair of files costs more than reading them.
        thread_local const std::unique_ptr<char[]> left(new char[kChunk]);
        thread_local const std::unique_ptr<char[]> right(new char[kChunk]);
        for (;;) {
            const ssize_t got = ReadFully(a, left.get(), kChunk);
            if (got < 0 || ReadFully(b, right.get(), kChunk) != got ||
                std::memcmp(left.get(), right.get(), static_cast<std::size_t>(got)) != 0) {
                same = false;
                break;
            }
            if (got == 0) break;
        }
    }
    if (a >= 0) ::close(a);
    if (b >= 0) ::close(b);
    return same;
}

std::time_t GetFileModifyTime(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return MakeLocalTime(1972, 1, 1);
    return info.st_mtime;
}

bool IsRealFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(CleanPath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFolderEmpty(const std::string& folder) { return IsFolderEmpty(FolderHandle::Open(folder)); }

bool IsFolderEmpty(const FolderHandle& folder) {
    const auto names = folder.List();
    return names && names->empty();
}

// A folder that cannot be read counts as holding files, so nothing deletes it as empty.
bool IsTreeWithoutFiles(const FolderHandle& folder) {
    const auto names = folder.List();
    if (!names) return false;
    for (const std::string& name : *names) {
        if (folder.Kind(name) != EntryKind::Folder) return false;
        const FolderHandle child = folder.Child(name);
        if (!child.IsOpen() || !IsTreeWithoutFiles(child)) return false;
    }
    return true;
}

bool IsTreeWithoutFiles(const std::string& folder) {
    return IsDirectory(folder) && IsTreeWithoutFiles(FolderHandle::Open(folder));
}

std::size_t ListSubfolders(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    if (!IsDirectory(folder)) return 0;
    for (const std::string& name : ListDirectory(folder)) {
        if (name.front() != '.' && IsDirectory(JoinPath(folder, name))) names.push_back(name);
    }
    return names.size();
}

void DeleteFolders(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        if (IsDirectory(folder)) RemovePath(folder);
    }
}

}  // namespace zov
