#include "engine/files/FileOperatorFolders.h"

#include <sys/stat.h>

#include <cerrno>

#include "engine/files/BackupNames.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace zov::fileops {

bool MakePrivateFolder(const std::string& folder) { return zov::MakeFolder(folder, 0700); }

int CreateFolder(const std::string& folder) {
    if (!IsAbsolutePath(folder)) return -1;
    if (CreateFolderChain(folder, 0700)) return 1;
    // An entry in the way is the usual reason.
    if (errno == 0 || errno == EEXIST) errno = ENOTDIR;
    return 0;
}

bool MakeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0) return true;
    const int code = errno;
    struct stat info {};
    if (code == EEXIST && ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;
    errno = code == EEXIST ? ENOTDIR : code;
    return false;
}

std::vector<std::string> DatedFolderNames(const FolderHandle& storage) {
    std::vector<std::string> names;
    for (const std::string& name : storage.Entries()) {
        if (IsDatedFolderName(name) && storage.Kind(name) == EntryKind::Folder) names.push_back(name);
    }
    return names;
}

std::vector<std::string> ListDatedFolders(const std::string& storage) {
    return DatedFolderNames(FolderHandle::Open(storage));
}

void ListSubfolders(const std::string& folder, std::vector<std::string>& names) {
    for (const std::string& name : ListDirectory(folder)) {
        if (IsDirectory(JoinPath(folder, name))) names.push_back(name);
    }
}

}  // namespace zov::fileops
