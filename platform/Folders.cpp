#include "platform/Folders.h"

#include <sys/stat.h>

#include "platform/Paths.h"

namespace zov {
namespace {

// A folder that exists afterwards counts, whoever created it.
bool EnsureFolder(const std::string& folder) {
    return mkdir(folder.c_str(), 0755) == 0 || IsDirectory(folder);
}

}  // namespace

bool CreateFolderChain(const std::string& path) {
    std::string folder = CleanPath(path);
    if (folder.empty()) return false;
    for (size_t end = folder.find('/', 1); end != std::string::npos; end = folder.find('/', end + 1)) {
        if (!EnsureFolder(folder.substr(0, end))) return false;
    }
    return EnsureFolder(folder);
}

}  // namespace zov
