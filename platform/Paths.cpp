#include "platform/Paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace zov {

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::string CleanPath(std::string_view path) {
    std::string clean;
    clean.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !clean.empty() && clean.back() == '/') continue;
        clean += c;
    }
    if (clean.size() > 1 && clean.back() == '/') clean.pop_back();
    return clean;
}

PathRelation RelatePaths(std::string_view a, std::string_view b) {
    std::string first = CleanPath(a);
    std::string second = CleanPath(b);
    if (first.empty() || second.empty()) return PathRelation::Unrelated;
    if (first == second) return PathRelation::Same;
    const std::string& shorter = first.size() < second.size() ? first : second;
    const std::string& longer = first.size() < second.size() ? second : first;
    if (longer.compare(0, shorter.size(), shorter) != 0) return PathRelation::Unrelated;
    // "/" ends with its separator; any other prefix must be followed by one.
    bool atBoundary = shorter == "/" || longer[shorter.size()] == '/';
    return atBoundary ? PathRelation::Nested : PathRelation::Unrelated;
}

bool IsPathInside(std::string_view inner, std::string_view outer) {
    switch (RelatePaths(inner, outer)) {
        case PathRelation::Same:
            return true;
        case PathRelation::Nested:
            return CleanPath(inner).size() > CleanPath(outer).size();
        case PathRelation::Unrelated:
            break;
    }
    return false;
}

std::string JoinPath(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    while (!a.empty() && a.back() == '/') a.remove_suffix(1);
    while (!b.empty() && b.front() == '/') b.remove_prefix(1);
    std::string joined(a);
    joined += '/';
    joined += b;
    return joined;
}

std::string WithTrailingSlash(std::string_view path) {
    if (path.empty()) return {};
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    std::string result(path);
    if (result.back() != '/') result += '/';
    return result;
}

std::optional<std::vector<std::string>> TryListDirectory(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return std::nullopt;
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const int readError = errno;
    closedir(dir);
    if (readError != 0) {
        errno = readError;
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ListDirectory(const std::string& folder) {
    return TryListDirectory(folder).value_or(std::vector<std::string>{});
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

}  // namespace zov
