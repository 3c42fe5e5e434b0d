#include "engine/backup/BackupOutput.h"

#include <cerrno>

#include "engine/files/BackupNames.h"
#include "engine/files/FileOperator.h"
#include "engine/util/CommonText.h"
#include "platform/Paths.h"

namespace zov {

FolderHandle OpenBackupFolder(const std::string& path, std::string& message) {
    const bool made = CFileOperator().CreateFolder(path) == 1;
    const int code = errno;
    PathInFolder place = OpenParent(path);
    if (place.folder.Kind(place.name) == EntryKind::Link) {
        message = "备份时，目录" + path + "是符号链接而不是文件夹，备份未执行";
        return {};
    }
    if (!made) {
        message = WithSystemReason("备份时，目录" + path + "不存在且无法创建", code);
        return {};
    }
    FolderHandle folder = place.folder.Child(place.name);
    if (!folder.IsOpen()) message = WithSystemReason("备份时，无法打开目录" + path, errno);
    return folder;
}

void DiscardSet(PendingSet& set, std::string& message) {
    if (set.Discard() != 0) message += "，未完成的备份删除失败：" + set.path();
}

bool RemovePartialSets(const std::string& folder, int taskId, std::string_view stamp, std::string& failed) {
    const FolderHandle opened = FolderHandle::OpenReal(folder);
    bool removed = true;
    for (const std::string& name : opened.Entries()) {
        const std::string_view from = StampOfPartialSet(name, taskId);
        if (from.empty() || from < stamp || opened.Kind(name) != EntryKind::Folder) continue;
        if (opened.Remove(name) == 0) continue;
        failed += (failed.empty() ? "" : "，") + JoinPath(folder, name);
        removed = false;
    }
    return removed;
}

bool RemoveDiffPartialSets(const std::string& storage, int taskId, std::string_view stamp,
                           std::string& failed) {
    const std::string diff = JoinPath(storage, kDiffFolderName);
    const FolderHandle folder = FolderHandle::OpenReal(diff);
    bool removed = true;
    for (const std::string& name : folder.Entries()) {
        if (folder.Kind(name) != EntryKind::Folder) continue;
        removed = RemovePartialSets(JoinPath(diff, name), taskId, stamp, failed) && removed;
    }
    return removed;
}

}  // namespace zov
