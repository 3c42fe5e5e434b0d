#include "engine/restore/RestoreSet.h"

#include <cerrno>

#include "engine/files/BackupNames.h"
#include "engine/files/CopyOperations.h"
#include "engine/restore/PasswordRetry.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/FolderHandle.h"
#include "platform/Paths.h"

namespace zov {

bool MakeRestoreTarget(const std::string& target, std::string& message) {
    if (FolderHandle::OpenWalk(CleanPath(target), MissingFolders::Make).IsOpen()) return true;
    message = "还原时，目标文件夹" + target + "无法创建，错误号（" + std::to_string(errno) + "）";
    return false;
}

bool RestoreItemExists(const std::string& item, std::string& message) {
    if (!item.empty() && PathExists(item)) return true;
    message = "还原项" + item + "不存在";
    return false;
}

bool RestoreEachChecked(const RestoreOwner& owner, std::string& message,
                        const std::function<bool(const std::string&)>& restore) {
    if (owner.checkedItems.empty()) {
        message = "未选择还原项，无法进行还原。";
        return false;
    }
    for (const std::string& item : owner.checkedItems) {
        if (!restore(item)) return false;
    }
    return true;
}

std::string NameBeforeStamp(const std::string& title) {
    const std::size_t cut = title.rfind('_');
    return cut == std::string::npos ? title : title.substr(0, cut);
}

bool PutSetBack(const RestoreOwner& owner, const SetRestore& restore, std::string& message) {
    if (IsDirectory(restore.set))
        return CopyFolderTree(restore.set, restore.target, message,
                              {owner.job.stop, true, owner.job.beforeEntry});
    if (!IsRegularFile(restore.set) || !IsArchiveName(restore.set)) {
        message = "还原项" + restore.set + "只能为文件夹或rar压缩文件";
        return false;
    }
    if (!FileExists(owner.rarPath)) {
        message = "还原时，解压程序" + owner.rarPath + "不存在";
        return false;
    }
    // The archiver gets a folder this restore made or opened through the walk.
    if (!MakeRestoreTarget(restore.target, message)) return false;
    if (owner.job.beforeEntry) owner.job.beforeEntry(CleanPath(restore.target));
    const FilterSet& filter = owner.task.filter;
    const bool useFilter = restore.filtered && owner.task.HasFlag(kTaskFilter) && !filter.extensions.empty();
    const RestoreExtract extract{restore.set, restore.target, restore.password, useFilter ? &filter : nullptr,
                                 restore.promptItem};
    return ExtractWithPasswordRetry(extract, owner.rarPath, message, owner.job) == 0;
}

}  // namespace zov
