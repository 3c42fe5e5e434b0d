#include "tools/rar/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "tools/rar/Selection.h"

namespace zov::rar {

std::vector<std::string> ListFolder(const std::string& folder, bool* readable) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (readable != nullptr) *readable = dir != nullptr;
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool ReadListFile(const std::string& file, std::vector<std::string>& lines) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return !in.bad();
}

int OpenSourceFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME | O_NONBLOCK);
    if (fd < 0 && errno == EPERM) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return fd;
}

bool MakeFolders(const std::string& folder) {
    const std::string clean = CleanSlashes(folder);
    struct stat st {};
    if (clean.empty() || stat(clean.c_str(), &st) == 0) {
        if (!clean.empty() && !S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        return true;
    }
    const std::string parent = ParentFolder(clean);
    if (parent != clean && !MakeFolders(parent)) return false;
    return mkdir(clean.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string ParentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return CleanSlashes(path);
    std::string cwd(4096, '\0');
    while (getcwd(cwd.data(), cwd.size()) == nullptr && errno == ERANGE) cwd.resize(cwd.size() * 2);
    cwd.resize(cwd.find('\0'));
    return CleanSlashes(cwd + "/" + path);
}

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace zov::rar
