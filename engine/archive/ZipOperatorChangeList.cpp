#include "engine/archive/ZipOperatorChangeList.h"

#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <string_view>

#include "engine/files/BackupNames.h"
#include "engine/files/CopyOperations.h"
#include "engine/filter/CommonFilter.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// A deletion marker stands for its file and passes when that file would.
bool PassesFilter(const FilterSet& filter, const std::string& name, const std::string& path) {
    if (!IsDeletionMarker(name)) return FilterEntryPasses(filter, path);
    return FilterEntryPasses(filter, std::string_view(path).substr(0, path.size() - kDeletionMarker.size()));
}

bool IsEmptyFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

AppendPath AppendTo(const std::string& listFile) {
    return [&listFile](const std::string& path) { return AppendLine(path, listFile); };
}

}  // namespace

// Folders are entered only when real (a symbolic link to a folder could lead back up the tree), and the
// left-out folder (same device and inode) not at all.
bool WalkChanges(std::string source, std::string base, const FilterSet* filter, const ExcludedFolder* leftOut,
                 const AppendPath& append, std::vector<std::string>* made) {
    NormalizeDir(source);
    NormalizeDir(base);
    std::set<std::string> marked;
    for (const std::string& name : ListDirectory(base)) {
        if (IsDeletionMarker(name) || IsDirectory(base + name) || PathExists(source + name)) continue;
        const std::string marker = name + std::string(kDeletionMarker);
        // A marker left by an earlier walk for the same file still holds.
        if (!CreateMarkerFile(source + marker) && !IsEmptyFile(source + marker)) continue;
        marked.insert(marker);
        if (made != nullptr) made->push_back(source + marker);
    }
    for (const std::string& name : ListDirectory(source)) {
        if (IsReservedName(name)) continue;
        std::string path = source + name;
        struct stat info {};
        const bool known = ::lstat(path.c_str(), &info) == 0;
        if (known && S_ISDIR(info.st_mode)) {
            if (leftOut != nullptr && leftOut->Is(info)) continue;
            if (!WalkChanges(path, base + name, filter, leftOut, append, made)) return false;
            continue;
        }
        // A marker this walk did not make was left by a run that did not end: it stands for nothing now.
        if (IsDeletionMarker(name) && !marked.contains(name)) {
            if (IsEmptyFile(path)) ::unlink(path.c_str());
            continue;
        }
        if (IsSameFile(path, base + name)) continue;
        if (filter != nullptr && !PassesFilter(*filter, name, path)) continue;
        if (!append(path)) return false;
    }
    return true;
}

void RemoveMarkers(const std::vector<std::string>& markers) {
    for (const std::string& marker : markers) {
        struct stat info {};
        if (::lstat(marker.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(marker.c_str());
    }
}

bool WriteChangeList(const std::string& source, const std::string& base, const std::string& listFile) {
    return WalkChanges(source, base, nullptr, nullptr, AppendTo(listFile), nullptr);
}

bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& listFile) {
    return WalkChanges(source, base, &filter, nullptr, AppendTo(listFile), nullptr);
}

}  // namespace zov
