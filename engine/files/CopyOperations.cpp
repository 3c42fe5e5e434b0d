#include "engine/files/CopyOperations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "engine/files/FileOperator.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonText.h"
#include "engine/util/FolderHandle.h"
#include "platform/Paths.h"

namespace zov {

namespace {

using CopyForm = CFileOperator::CopyForm;

constexpr const char* kStorageInvalid = "复制操作时，存储目录无效";

// The checks of the tree copies: source a folder, target outside it.
bool CheckTree(const std::string& source, const std::string& target, int number, std::string& message) {
    if (!IsDirectory(source)) {
        message = "复制操作时" + std::to_string(number) + "，源目录" + source + "无效。";
        return false;
    }
    if (CFileOperator::Overlaps(source, target)) {
        message = "复制操作时源文件夹 " + source + " 和目标文件夹 " + target + " 相同或为其子目录";
        return false;
    }
    return true;
}

// CheckTree, and target made.
bool PrepareTree(const std::string& source, const std::string& target, int number, std::string& message) {
    if (!CheckTree(source, target, number, message)) return false;
    CFileOperator folders;
    if (folders.CreateFolder(target) != 1) {
        message = kStorageInvalid;
        return false;
    }
    return true;
}

bool CopyTree(const std::string& source, const std::string& target, const CFileOperator::CopyRules& rules,
              std::string& message, std::stop_token stop) {
    CFileOperator copier;
    copier.SetStopToken(std::move(stop));
    if (copier.CopyContents(CleanPath(source), CleanPath(target), rules)) return true;
    message = copier.error();
    return false;
}

}  // namespace

bool CopyFolderTree(const std::string& source, const std::string& target, std::string& message,
                    const TreeCopy& how) {
    if (IsDirectory(source) && IsFolderEmpty(source)) return true;
    if (!CheckTree(source, target, 5, message)) return false;
    const std::string into = CleanPath(target);
    const FolderHandle folder = FolderHandle::OpenWalk(into, MissingFolders::Make);
    if (!folder.IsOpen()) {
        message = "复制操作时，存储目录" + target + "无效，错误号（" + std::to_string(errno) + "）";
        return false;
    }
    CFileOperator::CopyRules rules;
    rules.form = CopyForm::Restore;
    rules.keepMarkers = how.keepMarkers;
    rules.beforeEntry = how.beforeEntry;
    CFileOperator copier;
    copier.SetStopToken(how.stop);
    if (copier.CopyContents(CleanPath(source), folder, into, rules)) return true;
    message = copier.error();
    return false;
}

bool CopyFolderTree(const std::string& source, const std::string& target, std::string& message,
                    std::stop_token stop) {
    return CopyFolderTree(source, target, message, TreeCopy{std::move(stop)});
}

bool CopyFolderTreeFiltered(const std::string& source, const std::string& target, const FilterSet& filter,
                            std::string& message, std::stop_token stop) {
    if (!PrepareTree(source, target, 1, message)) return false;
    CFileOperator::CopyRules rules;
    rules.form = CopyForm::Filtered;
    rules.filter = &filter;
    return CopyTree(source, target, rules, message, std::move(stop));
}

bool CopyChangedTree(const std::string& source, const std::string& target, const std::string& base,
                     std::string& message, std::stop_token stop) {
    if (!PrepareTree(source, target, 2, message)) return false;
    CFileOperator::CopyRules rules;
    rules.form = CopyForm::Changed;
    rules.base = &base;
    return CopyTree(source, target, rules, message, std::move(stop));
}

bool CopyChangedTreeFiltered(const std::string& source, const std::string& target, const std::string& base,
                             const FilterSet& filter, std::string& message, std::stop_token stop) {
    if (!PrepareTree(source, target, 3, message)) return false;
    CFileOperator::CopyRules rules;
    rules.form = CopyForm::Changed;
    rules.filter = &filter;
    rules.base = &base;
    return CopyTree(source, target, rules, message, std::move(stop));
}

bool IsDeletedSinceBase(const std::string& baseEntry, const std::string& sourceEntry) {
    struct stat base {};
    if (::lstat(baseEntry.c_str(), &base) != 0) return false;
    struct stat source {};
    if (::lstat(sourceEntry.c_str(), &source) != 0) return errno == ENOENT;
    return S_ISDIR(base.st_mode) != S_ISDIR(source.st_mode);
}

std::string DeletionNotRecordedText(const std::string& sourceEntry, int code) {
    return WithSystemReason("差异备份时，无法记录已删除的" + sourceEntry, code);
}

bool IsSameFile(const std::string& pathA, const std::string& pathB) {
    const bool hasA = PathExists(pathA);
    const bool hasB = PathExists(pathB);
    if (!hasA || !hasB) return !hasA && !hasB;
    if (IsDirectory(pathA) || IsDirectory(pathB)) return false;
    struct stat a {};
    struct stat b {};
    if (::stat(pathA.c_str(), &a) != 0 || ::stat(pathB.c_str(), &b) != 0) return false;
    if (a.st_size != b.st_size || (a.st_mode & 07777) != (b.st_mode & 07777)) return false;
    // Only root gives the copies of a set their owners: another user's base holds its own.
    if (::geteuid() == 0 && (a.st_uid != b.st_uid || a.st_gid != b.st_gid)) return false;
    return FilesHaveSameContent(pathA, pathB);
}

}  // namespace zov
