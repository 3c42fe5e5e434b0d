#include "engine/files/FileOperator.h"

#include <cctype>
#include <cerrno>
#include <string_view>

#include "engine/files/BackupNames.h"
#include "engine/files/FileOperatorWalk.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonText.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace zov {

bool CFileOperator::Fail(std::string text) {
    error_ = std::move(text);
    return false;
}

int CFileOperator::errorNumber() const {
    std::string_view text = error_;
    const auto cut = [&text](std::string_view suffix) {
        if (!text.ends_with(suffix)) return false;
        text.remove_suffix(suffix.size());
        return true;
    };
    cut("。");
    const bool closed = cut("）");
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[text.size() - 1 - digits])))
        ++digits;
    if (digits == 0 || digits > 4) return 0;
    const int number = std::stoi(std::string(text.substr(text.size() - digits)));
    text.remove_suffix(digits);
    if (!cut(closed ? "（" : "：")) return 0;
    return cut("错误号") || cut("错误代码") || cut("错误") ? number : 0;
}

bool CFileOperator::MakePrivateFolder(const std::string& folder) { return zov::MakeFolder(folder, 0700); }

int CFileOperator::CreateFolder(const std::string& folder) {
    if (!IsAbsolutePath(folder)) return -1;
    if (CreateFolderChain(folder, 0700)) return 1;
    // An entry in the way is the usual reason.
    if (errno == 0 || errno == EEXIST) errno = ENOTDIR;
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
