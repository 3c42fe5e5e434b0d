#include "engine/files/FileOperatorBaseSet.h"

#include <sys/stat.h>

#include "engine/files/BackupNames.h"
#include "engine/files/FileOperatorFolders.h"
#include "engine/util/CommonFiles.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov::fileops {

std::string FindBaseArchive(const std::string& storage, const std::string& name, int periodDays) {
    if (name.empty() || !IsDirectory(storage)) return {};
    const std::string prefix = name + "_";
    std::time_t newest = MakeLocalTime(1971, 1, 1);
    std::string base;
    for (const std::string& day : ListDatedFolders(storage)) {
        const std::string dated = JoinPath(storage, day);
        for (const std::string& entry : ListDirectory(dated)) {
            const std::string path = JoinPath(dated, entry);
            const bool isFolder = IsRealFolder(path);
            if (!isFolder && !IsArchiveName(entry)) continue;
            // Only "<name>_<stamp>": the bases of "<name>_old" and the like belong to another item.
            const std::string_view title = BackupTitle(entry, isFolder);
            if (!title.starts_with(prefix) || !IsStampText(title.substr(prefix.size()))) continue;
            struct stat info {};
            if (::stat(path.c_str(), &info) != 0 || info.st_mtime <= newest) continue;
            newest = info.st_mtime;
            // A volume set is extracted from its first volume.
            base = path;
            if (VolumeNumber(entry) > 0) {
                const std::string first = FindVolumeName(JoinPath(dated, std::string(title)));
                if (PathExists(first)) base = first;
            }
        }
    }
    if (base.empty() || periodDays == 0) return {};
    if (Now() >= newest + static_cast<std::time_t>(periodDays) * kSecondsPerDay) return {};
    return base;
}

}  // namespace zov::fileops
