#include "engine/FileOperator.h"

#include <cerrno>

#include "engine/BackupNames.h"
#include "engine/CommonFiles.h"
#include "engine/CommonText.h"
#include "engine/FileOperatorWalk.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace zov {

bool CFileOperator::Fail(std::string text) {
    error_ = std::move(text);
    return false;
}

int CFileOperator::CreateFolder(const std::string& folder) {
    if (!IsAbsolutePath(folder)) return -1;
    if (IsDirectory(folder)) return 1;
    if (CreateFolderChain(folder)) return 1;
    // CreateFolderChain gives no reason; an entry in the way is the usual one.
    if (errno == 0) errno = ENOTDIR;
    return 0;
}

bool CFileOperator::IsRealFolder(const std::string& path) { return zov::IsRealFolder(path); }

std::vector<std::string> DatedFolderNames(const FolderHandle& storage) {
    std::vector<std::string> names;
    for (const std::string& name : storage.Entries()) {
        if (IsDatedFolderName(name) && storage.Kind(name) == EntryKind::Folder) names.push_back(name);
    }
    return names;
}

std::vector<std::string> CFileOperator::ListDatedFolders(const std::string& storage) {
    return DatedFolderNames(FolderHandle::Open(storage));
}

void CFileOperator::ListSubfolders(const std::string& folder, std::vector<std::string>& names) {
    for (const std::string& name : ListDirectory(folder)) {
        if (IsDirectory(JoinPath(folder, name))) names.push_back(name);
    }
}

bool CFileOperator::MatchExtension(const std::string& file, const std::vector<std::string>& extensions,
                                   bool testEmpty, bool exclude) {
    if (!PathExists(file)) return false;
    if (IsDirectory(file)) return true;
    if (extensions.empty() && !testEmpty) return false;
    const std::size_t slash = file.rfind('/');
    const std::size_t dot = file.rfind('.');
    const std::string extension = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                                      ? ""
                                      : LowerCopy(file.substr(dot));
    bool listed = false;
    for (const std::string& item : extensions) listed = listed || LowerCopy(item) == extension;
    return exclude ? !listed : listed;
}

}  // namespace zov
