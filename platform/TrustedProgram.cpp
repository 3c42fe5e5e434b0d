#include "platform/TrustedProgram.h"

#include <sys/stat.h>

#include <cstdlib>

namespace zov {
namespace {

bool OwnedByRootAndClosed(const struct stat& info) { return info.st_uid == 0 && (info.st_mode & 022) == 0; }

// Every folder that holds real (a path without links), up to the root.
bool FoldersAreRoots(std::string real) {
    while (real.size() > 1) {
        const std::size_t slash = real.rfind('/');
        real.resize(slash == 0 ? 1 : slash);
        struct stat folder;
        if (::stat(real.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) || folder.st_uid != 0)
            return false;
        if ((folder.st_mode & 022) != 0 && (folder.st_mode & S_ISVTX) == 0) return false;
    }
    return true;
}

}  // namespace

std::string TrustedProgramPath(const std::string& path) {
    if (path.empty() || path.front() != '/') return "";
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return "";
    const std::string real = resolved;
    std::free(resolved);
    struct stat program;
    if (::stat(real.c_str(), &program) != 0 || !S_ISREG(program.st_mode) || (program.st_mode & 0111) == 0 ||
        !OwnedByRootAndClosed(program) || !FoldersAreRoots(real)) {
        return "";
    }
    return real;
}

bool IsTrustedProgram(const std::string& path) { return !TrustedProgramPath(path).empty(); }

}  // namespace zov
