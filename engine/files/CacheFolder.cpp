#include "engine/files/CacheFolder.h"

#include <mutex>
#include <thread>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonRandom.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {

namespace {

constexpr std::size_t kTokenLength = 5;
constexpr int kNameRetries = 10;

struct Prefix {
    std::mutex mutex;
    std::string value = kServiceTempPrefix;
};

Prefix& CurrentPrefix() {
    static Prefix prefix;
    return prefix;
}

std::string ConfiguredCacheFolder() { return IniFile(TempIniPath()).Read("Path", "CACHE"); }

}  // namespace

void SetTempFolderPrefix(const std::string& prefix) {
    std::lock_guard lock(CurrentPrefix().mutex);
    CurrentPrefix().value = prefix;
}

std::string TempFolderPrefix() {
    std::lock_guard lock(CurrentPrefix().mutex);
    return CurrentPrefix().value;
}

std::string MakeCacheTempPath() {
    std::string folder = ConfiguredCacheFolder();
    if (folder.empty() || !IsDirectory(folder)) folder = ProgramDir() + "cache/";
    NormalizeDir(folder);
    const std::string base = folder + TempFolderPrefix();
    std::string candidate = base + MakeRandomToken(kTokenLength);
    for (int retry = 0; PathExists(candidate); ++retry) {
        if (retry == kNameRetries) return "";
        candidate = base + MakeRandomToken(kTokenLength);
    }
    return candidate;
}

void ListCacheFolders(const std::string& cacheFolder, std::vector<std::string>& folders) {
    folders.clear();
    const std::string prefix = TempFolderPrefix();
    std::vector<std::string> names;
    ListSubfolders(cacheFolder, names);
    for (const std::string& name : names) {
        if (name.starts_with(prefix)) folders.push_back(JoinPath(cacheFolder, name));
    }
}

void CleanCacheFolder() {
    const std::string folder = ConfiguredCacheFolder();
    if (folder.empty() || !IsDirectory(folder)) return;
    // The list is taken now, so folders that jobs make after start-up are never deleted.
    std::vector<std::string> leftovers;
    ListCacheFolders(folder, leftovers);
    if (leftovers.empty()) return;
    std::thread([leftovers = std::move(leftovers)] { DeleteFolders(leftovers); }).detach();
}

}  // namespace zov
