#include "engine/restore/DifferentialEntry.h"

#include <cerrno>
#include <optional>

#include "engine/files/BackupNames.h"
#include "engine/files/CacheFolder.h"
#include "engine/files/CopyOperations.h"
#include "engine/files/DeletionMarker.h"
#include "engine/files/FileOperator.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/FolderHandle.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// Deletes below target what the markers below entry name; shown is target's path for messages.
bool DeleteMarkedEntries(const FolderHandle& entry, const FolderHandle& target, const std::string& shown,
                         std::string& message) {
    const auto names = entry.List();
    if (!names) {
        message = "还原时，差异文件夹无法读取，错误号（" + std::to_string(errno) + "）";
        return false;
    }
    for (const std::string& name : *names) {
        if (entry.Kind(name) == EntryKind::Folder) {
            // A target folder that is missing or a link holds nothing of the restore.
            const FolderHandle inner = target.Child(name);
            if (inner.IsOpen() &&
                !DeleteMarkedEntries(entry.Child(name), inner, JoinPath(shown, name), message)) {
                return false;
            }
        } else if (IsDeletionMarker(name)) {
            const std::optional<std::string> named = DeletedNameOf(entry, name);
            if (!named || target.Kind(*named) == EntryKind::Missing) continue;
            if (const int error = target.Remove(*named); error != 0) {
                message = "还原时，删除文件" + JoinPath(shown, *named) + "失败，错误号（" +
                          std::to_string(error) + "）";
                return false;
            }
        }
    }
    return true;
}

bool LayFolder(const RestoreOwner& owner, const std::string& entry, const std::string& target,
               std::string& message) {
    const FolderHandle entryFolder = FolderHandle::Open(entry);
    const FolderHandle targetFolder = FolderHandle::OpenWalk(CleanPath(target), MissingFolders::Fail);
    if (!entryFolder.IsOpen() || !targetFolder.IsOpen()) {
        message = "还原时，文件夹" + (entryFolder.IsOpen() ? target : entry) + "无法打开，错误号（" +
                  std::to_string(errno) + "）";
        return false;
    }
    if (!DeleteMarkedEntries(entryFolder, targetFolder, CleanPath(target), message)) return false;
    return CopyFolderTree(entry, target, message, {owner.job.stop, false, owner.job.beforeEntry});
}

}  // namespace

bool LayDifferentialEntry(const RestoreOwner& owner, const SetRestore& restore, std::string& message) {
    if (IsDirectory(restore.set)) return LayFolder(owner, restore.set, restore.target, message);
    const std::string work = MakeCacheTempPath();
    if (work.empty() || CFileOperator().CreateFolder(GetParentFolder(work)) != 1 ||
        !CFileOperator::MakePrivateFolder(work)) {
        message = "还原时，临时文件夹" + work + "无法创建，错误号（" + std::to_string(errno) + "）";
        return false;
    }
    SetRestore unpack = restore;
    unpack.target = work;
    const bool laid = PutSetBack(owner, unpack, message) && LayFolder(owner, work, restore.target, message);
    RemovePath(work);
    return laid;
}

}  // namespace zov
