#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "support/TempProgramDir.h"

// Describing and building small folder trees in tests.
namespace zov::test {

// Every entry below root, relative: "dir/", "file=content", "link->target". Links are not followed.
inline std::set<std::string> DescribeTree(const std::string& root) {
    std::set<std::string> entries;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::string relative = it->path().lexically_relative(root).string();
        if (it->is_symlink()) {
            entries.insert(relative + "->" + std::filesystem::read_symlink(it->path()).string());
        } else if (it->is_directory()) {
            entries.insert(relative + "/");
        } else {
            entries.insert(relative + "=" + ReadFile(it->path().string()));
        }
    }
    return entries;
}

// Every entry below root with its permission bits: "path mode".
inline std::set<std::string> DescribeModes(const std::string& root) {
    std::set<std::string> modes;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        modes.insert(entry.path().lexically_relative(root).string() + " " +
                     std::to_string(info.st_mode & 07777));
    }
    return modes;
}

// Only the files of DescribeTree.
inline std::set<std::string> DescribeFiles(const std::string& root) {
    std::set<std::string> files;
    for (const std::string& entry : DescribeTree(root)) {
        if (entry.back() != '/' && entry.find("->") == std::string::npos) files.insert(entry);
    }
    return files;
}

// Relative path -> content of every regular file below folder; empty when it is not a folder.
inline std::map<std::string, std::string> ReadTree(const std::string& folder) {
    std::map<std::string, std::string> tree;
    if (!std::filesystem::is_directory(folder)) return tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            tree[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
        }
    }
    return tree;
}

inline void MakeFolder(const std::string& path) { std::filesystem::create_directories(path); }

inline void SetModifyTime(const std::string& path, std::time_t when) {
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline std::time_t ModifyTime(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mtime;
}

}  // namespace zov::test
