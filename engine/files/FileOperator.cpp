#include "engine/files/FileOperator.h"

#include <cctype>
#include <string_view>

#include "engine/files/FileOperatorBaseSet.h"
#include "engine/files/FileOperatorExpiry.h"
#include "engine/files/FileOperatorFolders.h"
#include "engine/util/CommonText.h"
#include "platform/Paths.h"

namespace zov {

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

int CFileOperator::ForceDelete(const std::string& path) { return fileops::ForceDelete(path); }

int CFileOperator::CopyItem(const std::string& source, const std::string& targetFolder) {
    return Copier().CopyItem(source, targetFolder);
}

int CFileOperator::CreateFolder(const std::string& folder) { return fileops::CreateFolder(folder); }

bool CFileOperator::MakePrivateFolder(const std::string& folder) {
    return fileops::MakePrivateFolder(folder);
}

int CFileOperator::CopyFolder(const std::string& source, const std::string& target, const std::string& name,
                              bool useSourceName, bool failIfExists) {
    return Copier().CopyFolder(source, target, name, useSourceName, failIfExists);
}

int CFileOperator::CopyFolderFiltered(const std::string& source, const std::string& target,
                                      const std::string& name, bool useSourceName, const FilterSet& filter,
                                      bool pass, bool failIfExists) {
    return Copier().CopyFolderFiltered(source, target, name, useSourceName, filter, pass, failIfExists);
}

int CFileOperator::CopyChangedFiltered(const std::string& source, const std::string& target,
                                       const std::string& base, const std::string& name, bool useSourceName,
                                       const FilterSet& filter, bool pass, bool failIfExists) {
    return Copier().CopyChangedFiltered(source, target, base, name, useSourceName, filter, pass,
                                        failIfExists);
}

int CFileOperator::CopyChanged(const std::string& source, const std::string& target, const std::string& base,
                               const std::string& name, bool useSourceName, bool failIfExists) {
    return Copier().CopyChanged(source, target, base, name, useSourceName, failIfExists);
}

int CFileOperator::CopySelectedFolders(const std::string& source, const std::string& target,
                                       const std::vector<std::string>& names, bool failIfExists) {
    return Copier().CopySelectedFolders(source, target, names, failIfExists);
}

bool CFileOperator::DeletePath(const std::string& path, bool log) { return Deleter().DeletePath(path, log); }

int CFileOperator::RemoveEmptyFolders(const std::string& folder) {
    return Deleter().RemoveEmptyFolders(folder);
}

int CFileOperator::RemoveEmptyFoldersKnownTo(const std::string& folder, const std::string& base) {
    return fileops::RemoveEmptyFoldersKnownTo(folder, base);
}

int CFileOperator::DeleteMarkedFiles(const std::string& folder, bool withNamed) {
    return fileops::DeleteMarkedFiles(folder, withNamed);
}

int CFileOperator::DeleteReservedNames(const std::string& folder) {
    return fileops::DeleteReservedNames(folder);
}

std::string CFileOperator::FindBaseArchive(const std::string& storage, const std::string& name,
                                           int periodDays) {
    return fileops::FindBaseArchive(storage, name, periodDays);
}

void CFileOperator::ListSubfolders(const std::string& folder, std::vector<std::string>& names) {
    fileops::ListSubfolders(folder, names);
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

void CFileOperator::DeleteExpiredSets(const std::string& storage, int keepDays) {
    fileops::DeleteExpiredSets(storage, keepDays);
}

void CFileOperator::DeleteExpiredDiffSets(const std::string& folder, int keepDays,
                                          const std::string& diffFolder) {
    fileops::DeleteExpiredDiffSets(folder, keepDays, diffFolder);
}

bool CFileOperator::CopyContents(const std::string& source, const std::string& target,
                                 const CopyRules& rules) {
    return Copier().CopyContents(source, target, rules);
}

bool CFileOperator::CopyContents(const std::string& source, const FolderHandle& target,
                                 const std::string& targetPath, const CopyRules& rules) {
    return Copier().CopyContents(source, target, targetPath, rules);
}

bool CFileOperator::Overlaps(const std::string& source, const std::string& target) {
    return fileops::Overlaps(source, target);
}

}  // namespace zov
