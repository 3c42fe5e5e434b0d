#include "engine/mysql/MySqlTools.h"

#include <sys/stat.h>

#include <cstdlib>

#include "engine/util/CommonText.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {
namespace {

constexpr const char* kDefaultPath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

bool OwnedByRootAndClosed(const struct stat& info) { return info.st_uid == 0 && (info.st_mode & 022) == 0; }

std::vector<std::string> SearchFolders(const std::string& serverFolder) {
    std::vector<std::string> folders;
    if (!serverFolder.empty()) folders.push_back(WithTrailingSlash(serverFolder));
    folders.push_back(WithTrailingSlash(ProgramDir()));
    const char* path = std::getenv("PATH");
    std::vector<std::string> entries;
    SplitToList(entries, path != nullptr && *path != '\0' ? path : kDefaultPath, ':');
    for (const std::string& entry : entries) {
        if (IsAbsolutePath(entry)) folders.push_back(WithTrailingSlash(entry));
    }
    return folders;
}

}  // namespace

bool IsTrustedProgram(const std::string& path) {
    if (!IsAbsolutePath(path)) return false;
    struct stat program;
    if (::stat(path.c_str(), &program) != 0 || !S_ISREG(program.st_mode) || (program.st_mode & 0111) == 0) {
        return false;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return false;
    const std::string real = resolved;
    std::free(resolved);
    const std::string folder = real.substr(0, real.rfind('/') + 1);
    struct stat parent;
    return OwnedByRootAndClosed(program) && ::stat(folder.c_str(), &parent) == 0 &&
           OwnedByRootAndClosed(parent);
}

std::string FindMySqlTool(const std::string& serverFolder, const std::vector<std::string>& names) {
    for (const std::string& folder : SearchFolders(serverFolder)) {
        for (const std::string& name : names) {
            if (IsTrustedProgram(folder + name)) return folder + name;
        }
    }
    return "";
}

}  // namespace zov
