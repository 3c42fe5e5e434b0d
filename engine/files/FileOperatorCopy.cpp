#include "engine/files/FileOperatorCopy.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "engine/files/BackupNames.h"
#include "engine/files/CopyOperations.h"
#include "engine/files/DeletionMarker.h"
#include "engine/files/FileOperatorCopyEntry.h"
#include "engine/files/FileOperatorFolders.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonText.h"
#include "platform/Paths.h"

namespace zov::fileops {

namespace {

__attribute__((format(printf, 1, 2))) std::string Text(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

std::string SourceMissingText(CopyForm form, const std::string& source) {
    return form == CopyForm::Changed ? Text("复制操作时，源文件（夹） %s 不存在", source.c_str())
                                     : Text("不合法的参数：复制操作时源文件夹 %s 不存在", source.c_str());
}

std::string TargetFailedText(CopyForm form, const std::string& target, int code) {
    return form == CopyForm::Changed
               ? Text("复制操作时，目标文件（夹） %s 不存在且创建失败，错误代码：%d", target.c_str(), code)
               : Text("复制操作时目标文件夹 %s 不存在且创建失败，错误代码：%d", target.c_str(), code);
}

std::string OverlapText(CopyForm form, const std::string& source, const std::string& target) {
    return form == CopyForm::Changed
               ? Text("复制操作时，目标文件夹 %s 和源文件夹 %s 存在所属关系", target.c_str(), source.c_str())
               : Text("复制操作时源文件夹 %s 和目标文件夹 %s 相同或为其子目录", source.c_str(),
                      target.c_str());
}

std::string BadNameText(CopyForm form, const std::string& name) {
    return form == CopyForm::Changed ? Text("复制操作时，指定的文件夹名 %s 不合法", name.c_str())
                                     : Text("复制操作时，不合法的文件（夹）名: %s", name.c_str());
}

// A folder of the copy (the named target or one below it) that cannot be made.
std::string FolderFailedText(CopyForm form, const std::string& folder, int code) {
    switch (form) {
        case CopyForm::Folder:
            return Text("复制操作时，存储目录%s无效，错误号（%d）。", folder.c_str(), code);
        case CopyForm::Filtered:
            return Text("复制操作时，存储目录%s无效，错误号（%d）", folder.c_str(), code);
        case CopyForm::Restore:
            return Text("还原时，文件夹%s无法打开，错误号（%d）", folder.c_str(), code);
        case CopyForm::Changed:
            break;
    }
    return TargetFailedText(form, folder, code);
}

// A sub-folder name must be one path component.
bool IsValidFolderName(const std::string& name) {
    return name.find('/') == std::string::npos && name != "." && name != "..";
}

// A differential copy leaves out an entry that has not changed since the base: a link with the same
// text, or a file with the same content.
bool IsUnchanged(const std::string& entry, const struct stat& info, const std::string& basePath) {
    struct stat base {};
    if (::lstat(basePath.c_str(), &base) != 0) return false;
    if (S_ISLNK(info.st_mode) || S_ISLNK(base.st_mode)) {
        if (!S_ISLNK(info.st_mode) || !S_ISLNK(base.st_mode)) return false;
        std::error_code entryError;
        std::error_code baseError;
        const std::filesystem::path text = std::filesystem::read_symlink(entry, entryError);
        return !entryError && text == std::filesystem::read_symlink(basePath, baseError) && !baseError;
    }
    return IsSameFile(entry, basePath);
}

}  // namespace

bool FolderCopy::Fail(std::string text) {
    error_ = std::move(text);
    return false;
}

bool FolderCopy::Copied(const std::string& source, int code) {
    return code == 0 || Fail("复制文件" + source + "时，发生错误，错误号：" + std::to_string(code));
}

bool Overlaps(const std::string& source, const std::string& target) {
    std::error_code error;
    const std::string from = std::filesystem::weakly_canonical(source, error).string();
    if (error) return IsPathInside(target, source);
    const std::string to = std::filesystem::weakly_canonical(target, error).string();
    if (error) return IsPathInside(target, source);
    return IsPathInside(to, from);
}

int FolderCopy::CopyItem(const std::string& source, const std::string& targetFolder) {
    if (source.empty() || targetFolder.empty()) {
        Fail("复制文件（夹）时参数错误");
        return -1;
    }
    const std::string from = CleanPath(source);
    if (!PathExists(from)) {
        Fail("复制文件时源文件（夹） " + source + "不存在");
        return -1;
    }
    if (!IsDirectory(targetFolder) && ::mkdir(targetFolder.c_str(), 0755) != 0) {
        const int code = errno;
        if (!IsDirectory(targetFolder)) {
            Fail("创建目标文件（夹） " + targetFolder + " 错误（" + std::to_string(code) + "）");
            return -1;
        }
    }
    const std::size_t slash = from.rfind('/');
    const std::string name = slash == std::string::npos ? from : from.substr(slash + 1);
    const std::string target = JoinPath(targetFolder, name);
    struct stat info {};
    if (::lstat(from.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return CopyEntry(from, target, false) ? 1 : 0;
    if (Overlaps(from, target)) {
        Fail("复制操作时源文件夹 " + source + " 和目标文件夹 " + targetFolder + " 相同或为其子目录");
        return 0;
    }
    if (!MakeFolder(target)) {
        Fail("复制文件" + from + "时，发生错误，错误号：" + std::to_string(errno));
        return 0;
    }
    CopyRules exact;
    exact.keepMarkers = true;
    const FolderHandle folder = FolderHandle::Open(target);
    const bool copied = CopyContents(from, folder, target, exact);
    CopyFolderAttributes(from, folder);
    return copied ? 1 : 0;
}

int FolderCopy::CopyFolder(const std::string& source, const std::string& target, const std::string& name,
                           bool useSourceName, bool failIfExists) {
    CopyRules rules;
    rules.failIfExists = failIfExists;
    return CopyFolderAs(source, target, name, useSourceName, rules);
}

int FolderCopy::CopyFolderFiltered(const std::string& source, const std::string& target,
                                   const std::string& name, bool useSourceName, const FilterSet& filter,
                                   bool pass, bool failIfExists) {
    CopyRules rules;
    rules.form = CopyForm::Filtered;
    rules.filter = &filter;
    rules.pass = pass;
    rules.failIfExists = failIfExists;
    return CopyFolderAs(source, target, name, useSourceName, rules);
}

int FolderCopy::CopyChangedFiltered(const std::string& source, const std::string& target,
                                    const std::string& base, const std::string& name, bool useSourceName,
                                    const FilterSet& filter, bool pass, bool failIfExists) {
    CopyRules rules;
    rules.form = CopyForm::Changed;
    rules.filter = &filter;
    rules.pass = pass;
    rules.base = &base;
    rules.failIfExists = failIfExists;
    return CopyFolderAs(source, target, name, useSourceName, rules);
}

int FolderCopy::CopyChanged(const std::string& source, const std::string& target, const std::string& base,
                            const std::string& name, bool useSourceName, bool failIfExists) {
    if (!PathExists(source)) return Fail("复制文件操作是，源文件（夹）" + source + "不存在");
    CopyRules rules;
    rules.form = CopyForm::Changed;
    rules.base = &base;
    rules.failIfExists = failIfExists;
    return CopyFolderAs(source, target, name, useSourceName, rules);
}

int FolderCopy::CopySelectedFolders(const std::string& source, const std::string& target,
                                    const std::vector<std::string>& names, bool failIfExists) {
    if (names.empty()) return 1;
    if (!PathExists(source)) return Fail(SourceMissingText(CopyForm::Folder, source));
    if (Overlaps(source, target)) return Fail(OverlapText(CopyForm::Folder, source, target));
    if (CreateFolder(target) != 1) return Fail("复制操作时目标文件夹 " + target + " 不存在且创建失败");
    bool copied = true;
    std::vector<std::string> folders;
    ListSubfolders(source, folders);
    for (const std::string& folder : folders) {
        const std::string lowered = LowerCopy(folder);
        const bool selected = std::any_of(
            names.begin(), names.end(), [&](const std::string& name) { return LowerCopy(name) == lowered; });
        if (selected) {
            copied = CopyFolder(JoinPath(source, folder), JoinPath(target, folder), "", false,
                                failIfExists) == 1 &&
                     copied;
        }
    }
    return copied ? 1 : 0;
}

bool FolderCopy::IntoExcludedFolder(const std::string& source, const std::string& target) const {
    return !excludedFolder_.empty() && Overlaps(excludedFolder_, target) &&
           Overlaps(source, excludedFolder_) && !Overlaps(excludedFolder_, source);
}

int FolderCopy::CopyFolderAs(const std::string& source, const std::string& target, const std::string& name,
                             bool useSourceName, const CopyRules& rules) {
    const CopyForm form = rules.form;
    if (!PathExists(source)) return Fail(SourceMissingText(form, source));
    const bool intoExcluded = IntoExcludedFolder(source, target);
    if (Overlaps(source, target) && !intoExcluded) return Fail(OverlapText(form, source, target));
    if (!IsValidFolderName(name)) return Fail(BadNameText(form, name));
    if (CreateFolder(target) != 1) return Fail(TargetFailedText(form, target, errno));

    const bool sourceIsFolder = IsDirectory(source);
    std::string destination = WithTrailingSlash(target);
    if (!name.empty()) {
        destination = WithTrailingSlash(JoinPath(target, name));
    } else if (useSourceName && sourceIsFolder && !LastPathLevel(source).empty()) {
        destination = WithTrailingSlash(JoinPath(target, LastPathLevel(source)));
    }
    if (Overlaps(source, destination) && !intoExcluded) return Fail(OverlapText(form, source, destination));
    if (CreateFolder(destination) != 1) return Fail(FolderFailedText(form, destination, errno));

    if (!sourceIsFolder)
        return CopyEntry(CleanPath(source), destination + LastPathLevel(source), rules.failIfExists);
    const std::optional<ExcludedFolder> excluded = ExcludedFolderInside(source, excludedFolder_);
    if (intoExcluded && !excluded) return Fail(OverlapText(form, source, destination));
    CopyRules walk = rules;
    if (excluded) walk.leftOut = &*excluded;
    const FolderHandle folder = FolderHandle::Open(destination);
    const bool copied = CopyContents(CleanPath(source), folder, CleanPath(destination), walk);
    // Last, so that the copies of its entries do not change its times.
    if (destination != WithTrailingSlash(target)) CopyFolderAttributes(source, folder);
    return copied ? 1 : 0;
}

bool FolderCopy::CopyContents(const std::string& source, const std::string& target, const CopyRules& rules) {
    return CopyContents(source, FolderHandle::Open(target), target, rules);
}

bool FolderCopy::CopyContents(const std::string& source, const FolderHandle& target,
                              const std::string& targetPath, const CopyRules& rules) {
    if (!target.IsOpen()) return Fail(FolderFailedText(rules.form, targetPath, errno));
    bool copied = true;
    if (rules.base != nullptr) copied = WriteDeletionMarkers(source, *rules.base, targetPath);
    const auto names = TryListDirectory(source);
    if (!names) return Fail(Text("复制文件%s时，发生错误，错误号：%d", source.c_str(), errno));
    for (const std::string& name : *names) {
        if (stop_.stop_requested()) return Fail("复制操作已停止");
        if (IsReservedName(name) || (!rules.keepMarkers && IsDeletionMarker(name))) continue;
        const std::string entry = JoinPath(source, name);
        struct stat info {};
        if (::lstat(entry.c_str(), &info) != 0) {
            if (errno == ENOENT) continue;  // gone since the listing
            copied = Fail(Text("复制文件%s时，发生错误，错误号：%d", entry.c_str(), errno));
            continue;
        }
        if (rules.beforeEntry) rules.beforeEntry(JoinPath(targetPath, name));
        if (S_ISDIR(info.st_mode)) {
            if (rules.leftOut == nullptr || !rules.leftOut->Is(info))
                copied = CopySubfolder(entry, target, targetPath, name, rules) && copied;
            continue;
        }
        // Sockets, pipes and devices hold no data to keep.
        if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) continue;
        if (rules.filter != nullptr && !rules.pass && !FilterEntryPasses(*rules.filter, entry)) continue;
        if (rules.base != nullptr && IsUnchanged(entry, info, JoinPath(*rules.base, name))) continue;
        copied = CopyEntry(entry, info, target, name, rules.failIfExists) && copied;
    }
    return copied;
}

bool FolderCopy::CopySubfolder(const std::string& source, const FolderHandle& target,
                               const std::string& targetPath, const std::string& name,
                               const CopyRules& rules) {
    CopyRules inner = rules;
    if (rules.filter != nullptr) {
        const bool takesOnlyListed = !rules.filter->exclude;
        const bool passes = rules.pass || FilterEntryPasses(*rules.filter, source);
        if (!passes && !takesOnlyListed) return true;
        inner.pass = passes && takesOnlyListed;
    }
    std::string base;
    if (rules.base != nullptr) {
        base = JoinPath(*rules.base, name);
        inner.base = &base;
    }
    const std::string folderPath = JoinPath(targetPath, name);
    const FolderHandle folder = target.MakeChild(name);
    if (!folder.IsOpen()) return Fail(FolderFailedText(rules.form, folderPath, errno));
    const bool copied = CopyContents(source, folder, folderPath, inner);
    CopyFolderAttributes(source, folder);
    return copied;
}

bool FolderCopy::WriteDeletionMarkers(const std::string& source, const std::string& base,
                                      const std::string& target) {
    bool written = true;
    for (const std::string& name : ListDirectory(base)) {
        if (IsDeletionMarker(name) || !IsDeletedSinceBase(JoinPath(base, name), JoinPath(source, name)))
            continue;
        if (const int code = WriteDeletionMarker(target, name); code != 0)
            written = Fail(DeletionNotRecordedText(JoinPath(source, name), code));
    }
    return written;
}

bool FolderCopy::CopyEntry(const std::string& source, const struct stat& info, const FolderHandle& folder,
                           const std::string& name, bool failIfExists) {
    return Copied(source, CopyEntryData(source, info, folder, name, failIfExists, scratch_));
}

bool FolderCopy::CopyEntry(const std::string& source, const std::string& target, bool failIfExists) {
    struct stat info {};
    if (::lstat(source.c_str(), &info) != 0)
        return Fail("复制文件" + source + "时，发生错误，错误号：" + std::to_string(errno));
    return Copied(source, CopyEntryData(source, info, target, failIfExists, scratch_));
}

}  // namespace zov::fileops
