#include "engine/restore/DifferentialBase.h"

#include "engine/files/BackupNames.h"
#include "engine/files/FileOperatorFolders.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov {
namespace {

std::string ParentOf(const std::string& path) {
    const std::string clean = CleanPath(path);
    const std::size_t cut = clean.rfind('/');
    return cut == std::string::npos || cut == 0 ? "/" : clean.substr(0, cut);
}

}  // namespace

std::string FindDifferentialBase(const std::string& entry) {
    const std::string setFolder = ParentOf(entry);
    const std::string setName = LastPathLevel(setFolder);
    const std::string storage = ParentOf(ParentOf(setFolder));
    if (setName.empty()) return "";
    for (const std::string& dated : fileops::ListDatedFolders(storage)) {
        const std::string candidate = JoinPath(JoinPath(storage, dated), setName);
        if (IsRealFolder(candidate)) return candidate;
        const std::string archive = FindVolumeName(candidate);
        if (IsRegularFile(archive)) return archive;
    }
    return "";
}

}  // namespace zov
