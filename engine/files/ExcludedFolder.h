#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

// The folder a backup leaves out of its source (its storage folder lying inside the source).
namespace zov {

struct ExcludedFolder {
    dev_t device = 0;
    ino_t inode = 0;
    std::string path;  // spelled from the source: source + the folder's path below it

    // True when info (from lstat) is this folder, whatever path led to it.
    bool Is(const struct stat& info) const {
        return S_ISDIR(info.st_mode) && info.st_dev == device && info.st_ino == inode;
    }
};

// folder when it is an existing folder lying below source (compared after resolving links and dots);
// nullopt when it is empty, missing, source itself or outside it.
std::optional<ExcludedFolder> ExcludedFolderInside(const std::string& source, const std::string& folder);

}  // namespace zov
