#include "engine/mysql/MySqlTools.h"

#include <chrono>
#include <cstdlib>
#include <string_view>

#include "engine/files/CacheFolder.h"
#include "engine/util/CommonText.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "platform/ProcessRunner.h"
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

constexpr std::chrono::seconds kHelpTimeout{15};
constexpr std::size_t kMaxHelpBytes = 1024 * 1024;
constexpr const char* kSandboxOption = "--sandbox";

}  // namespace

std::string FindMySqlTool(const std::string& serverFolder, const std::vector<std::string>& names) {
    for (const std::string& folder : SearchFolders(serverFolder)) {
        for (const std::string& name : names) {
            if (IsTrustedProgram(folder + name)) return folder + name;
        }
    }
    return "";
}

bool MySqlClientHasSandbox(const std::string& client) {
    CacheWorkFolder work;
    if (work.path().empty()) return false;
    ProcessOptions options;
    options.stdoutPath = work.path() + "help.txt";
    options.timeout = kHelpTimeout;
    if (!RunProcess({client, "--no-defaults", "--help"}, options).Succeeded()) return false;
    const std::string help = ReadWholeFile(options.stdoutPath, kMaxHelpBytes).value_or("");
    for (std::size_t at = help.find(kSandboxOption); at != std::string::npos;
         at = help.find(kSandboxOption, at + 1)) {
        const std::size_t end = at + std::string_view(kSandboxOption).size();
        if (end == help.size() || help[end] == ' ' || help[end] == '\n') return true;
    }
    return false;
}

}  // namespace zov
