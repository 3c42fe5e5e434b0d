#include "engine/files/FileOperatorDelete.h"

#include <cerrno>
#include <optional>

#include "engine/files/BackupNames.h"
#include "engine/files/DeletionMarker.h"
#include "engine/logs/QelLog.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov::fileops {

namespace {

constexpr int kDeleteFileType = 13;

int DeleteMarkedIn(const FolderHandle& folder, bool withNamed) {
    const auto names = folder.List();
    if (!names) return 0;
    for (const std::string& name : *names) {
        const EntryKind kind = folder.Kind(name);
        if (kind == EntryKind::Missing) continue;  // deleted as the entry of a marker
        if (kind == EntryKind::Unreadable) return 0;
        if (kind == EntryKind::Folder) {
            const FolderHandle child = folder.Child(name);
            if (!child.IsOpen() || DeleteMarkedIn(child, withNamed) != 1) return 0;
        } else if (IsDeletionMarker(name)) {
            const std::optional<std::string> named = DeletedNameOf(folder, name);
            if (folder.Remove(name) != 0) return 0;
            if (withNamed && named && folder.Kind(*named) != EntryKind::Missing && folder.Remove(*named) != 0)
                return 0;
        } else if (withNamed && folder.Kind(DeletionMarkerOf(name)) != EntryKind::Missing) {
            if (folder.Remove(name) != 0) return 0;
        }
    }
    return 1;
}

int RemoveEmptyIn(const FolderHandle& folder) {
    const auto names = folder.List();
    if (!names) return 0;
    for (const std::string& name : *names) {
        if (folder.Kind(name) != EntryKind::Folder) continue;
        const FolderHandle child = folder.Child(name);
        if (!child.IsOpen()) return 0;
        const bool done = IsTreeWithoutFiles(child) ? folder.Remove(name) == 0 : RemoveEmptyIn(child) == 1;
        if (!done) return 0;
    }
    return 1;
}

// Removes, deepest first, the folders below folder that end up empty and that base holds as folders too.
int RemoveEmptyKnownIn(const FolderHandle& folder, const FolderHandle& base) {
    const auto names = folder.List();
    if (!names) return 0;
    for (const std::string& name : *names) {
        if (folder.Kind(name) != EntryKind::Folder) continue;
        const FolderHandle known = base.Child(name);
        if (!known.IsOpen()) continue;  // new since the base: it stays with all it holds
        const FolderHandle child = folder.Child(name);
        if (!child.IsOpen() || RemoveEmptyKnownIn(child, known) != 1) return 0;
        if (IsFolderEmpty(child) && folder.Remove(name) != 0) return 0;
    }
    return 1;
}

int DeleteReservedIn(const FolderHandle& folder) {
    const auto names = folder.List();
    if (!names) return 0;
    for (const std::string& name : *names) {
        if (IsReservedName(name)) {
            if (folder.Remove(name) != 0) return 0;
        } else if (folder.Kind(name) == EntryKind::Folder) {
            const FolderHandle child = folder.Child(name);
            if (!child.IsOpen() || DeleteReservedIn(child) != 1) return 0;
        }
    }
    return 1;
}

}  // namespace

bool PathDeletion::Fail(std::string text) {
    error_ = std::move(text);
    return false;
}

int RemoveLogged(const FolderHandle& folder, const std::string& name, const std::string& shownPath,
                 bool log) {
    CQelLog record;
    if (log) {
        record.SetTaskId(0);
        record.SetCategory(kLogInterface);
        record.SetType(kDeleteFileType);
        record.SetTaskName("自动任务");
        record.SetMessage("---");
        record.SetTarget(shownPath);
        record.Start();
        record.SetItem("---");
    }
    const int code = folder.Remove(name);
    if (log) {
        record.SetResult(code == 0 ? kLogSucceeded : kLogFailed);
        if (code != 0) record.SetMessage("删除失败，Shell错误码（" + std::to_string(code) + "）");
        record.Write();
    }
    return code;
}

int ForceDelete(const std::string& path) {
    const std::string target = CleanPath(path);
    if (target.empty() || !PathExists(target)) return 0;
    return RemovePath(target) == 0 ? 1 : 0;
}

bool PathDeletion::DeletePath(const std::string& path, bool log) {
    const std::string target = CleanPath(path);
    if (target.empty() || !PathExists(target))
        return Fail("删除文件(夹)时，目标文件（夹） " + path + " 不存在");
    // The root ("" as name), "." and ".." are refused by the removal, which the record then shows.
    const PathInFolder entry = OpenParent(target);
    return RemoveLogged(entry.folder, entry.name, target, log) == 0;
}

int PathDeletion::RemoveEmptyFolders(const std::string& folder) {
    if (!IsDirectory(folder)) return Fail("清除空文件夹时，指定的文件夹路径 " + folder + " 不存在");
    const FolderHandle top = FolderHandle::Open(folder);
    if (!top.IsOpen()) return 0;
    if (IsTreeWithoutFiles(top)) return DeletePath(folder, false) ? 1 : 0;
    return RemoveEmptyIn(top);
}

int DeleteMarkedFiles(const std::string& folder, bool withNamed) {
    const FolderHandle top = FolderHandle::Open(folder);
    // A missing folder holds no marker.
    return top.IsOpen() ? DeleteMarkedIn(top, withNamed) : 1;
}

int RemoveEmptyFoldersKnownTo(const std::string& folder, const std::string& base) {
    const FolderHandle top = FolderHandle::Open(folder);
    const FolderHandle known = FolderHandle::Open(base);
    if (!top.IsOpen() || !known.IsOpen()) return 0;
    if (RemoveEmptyKnownIn(top, known) != 1) return 0;
    return !IsFolderEmpty(top) || RemovePath(folder) == 0 ? 1 : 0;
}

int DeleteReservedNames(const std::string& folder) {
    if (folder.empty() || !IsDirectory(folder)) return 0;
    const std::string clean = CleanPath(folder);
    if (IsReservedName(clean.substr(clean.rfind('/') + 1))) return ForceDelete(clean);
    const FolderHandle top = FolderHandle::Open(clean);
    return top.IsOpen() ? DeleteReservedIn(top) : 0;
}

}  // namespace zov::fileops
