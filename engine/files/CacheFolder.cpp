#include "engine/files/CacheFolder.h"

#include <mutex>

#include "engine/files/FileOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonRandom.h"
#include "engine/util/FolderHandle.h"
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

std::string CacheFolder() {
    std::string folder = ConfiguredCacheFolder();
    if (folder.empty() || !IsDirectory(folder)) folder = ProgramDir() + "cache/";
    NormalizeDir(folder);
    return folder;
}

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
    const std::string base = CacheFolder() + TempFolderPrefix();
    std::string candidate = base + MakeRandomToken(kTokenLength);
    for (int retry = 0; PathExists(candidate); ++retry) {
        if (retry == kNameRetries) return "";
        candidate = base + MakeRandomToken(kTokenLength);
    }
    return candidate;
}

CacheWorkFolder::CacheWorkFolder() {
    if (CFileOperator().CreateFolder(CacheFolder()) != 1) return;
    // A name taken meanwhile by another job or process is not reused.
    for (int retry = 0; retry < kNameRetries; ++retry) {
        const std::string candidate = MakeCacheTempPath();
        if (candidate.empty()) return;
        if (CFileOperator::MakePrivateFolder(candidate)) {
            path_ = candidate + "/";
            return;
        }
    }
}

CacheWorkFolder::~CacheWorkFolder() { Remove(); }

void CacheWorkFolder::Remove() {
    if (!path_.empty()) RemovePath(CleanPath(path_));
    path_.clear();
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

std::vector<std::string> CacheLeftovers() {
    std::vector<std::string> leftovers;
    const std::string folder = ConfiguredCacheFolder();
    if (!folder.empty() && IsDirectory(folder)) ListCacheFolders(folder, leftovers);
    return leftovers;
}

void DeleteCacheLeftovers(const std::vector<std::string>& leftovers, const std::stop_token& stop) {
    for (const std::string& folder : leftovers) {
        if (stop.stop_requested()) return;
        DeleteFolders({folder});
    }
}

void CleanCacheFolder() { DeleteCacheLeftovers(CacheLeftovers()); }

}  // namespace zov
