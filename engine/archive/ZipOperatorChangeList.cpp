#include "engine/archive/ZipOperatorChangeList.h"

#include <sys/stat.h>

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

AppendPath AppendTo(const std::string& listFile) {
    return [&listFile](const std::string& path) { return AppendLine(path, listFile); };
}

}  // namespace

// Folders are entered only when real (a symbolic link to a folder could lead back up the tree), and the
// left-out folder (same device and inode) not at all.
bool WalkChanges(std::string source, std::string base, const FilterSet* filter, const ExcludedFolder* leftOut,
                 const AppendPath& append) {
    NormalizeDir(source);
    NormalizeDir(base);
    for (const std::string& name : ListDirectory(base)) {
        if (!IsDirectory(base + name) && !FileExists(source + name)) {
            CreateMarkerFile(source + name + std::string(kDeletionMarker));
        }
    }
    for (const std::string& name : ListDirectory(source)) {
        if (IsReservedName(name)) continue;
        std::string path = source + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            if (leftOut != nullptr && leftOut->Is(info)) continue;
            if (!WalkChanges(path, base + name, filter, leftOut, append)) return false;
            continue;
        }
        if (IsSameFile(path, base + name)) continue;
        if (filter != nullptr && !PassesFilter(*filter, name, path)) continue;
        if (!append(path)) return false;
    }
    return true;
}

bool WriteChangeList(const std::string& source, const std::string& base, const std::string& listFile) {
    return WalkChanges(source, base, nullptr, nullptr, AppendTo(listFile));
}

bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& listFile) {
    return WalkChanges(source, base, &filter, nullptr, AppendTo(listFile));
}

}  // namespace zov
