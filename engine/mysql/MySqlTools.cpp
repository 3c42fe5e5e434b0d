#include "engine/mysql/MySqlTools.h"

#include <cstdlib>

#include "engine/util/CommonText.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {
namespace {

constexpr const char* kDefaultPath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

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

std::string FindMySqlTool(const std::string& serverFolder, const std::vector<std::string>& names) {
    for (const std::string& folder : SearchFolders(serverFolder)) {
        for (const std::string& name : names) {
            if (IsTrustedProgram(folder + name)) return folder + name;
        }
    }
    return "";
}

}  // namespace zov
