#include "engine/backup/BackupOutput.h"

#include <string.h>

#include <cerrno>

#include "engine/files/BackupNames.h"
#include "engine/files/FileOperator.h"
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

bool RemoveRunOutput(const std::string& datedFolder, const std::string& itemStamp, std::string& failed) {
    const FolderHandle folder = FolderHandle::OpenReal(datedFolder);
    bool removed = true;
    for (const std::string& name : folder.Entries()) {
        const RunOutput kind = RunOutputOf(name, itemStamp);
        if (kind == RunOutput::None) continue;
        const EntryKind expected = kind == RunOutput::PartialSet ? EntryKind::Folder : EntryKind::File;
        if (folder.Kind(name) != expected || folder.Remove(name) == 0) continue;
        failed += (failed.empty() ? "" : "，") + JoinPath(datedFolder, name);
        removed = false;
    }
    return removed;
}

bool RemoveDiffRunOutput(const std::string& storage, const std::string& item, const std::string& stamp,
                         std::string& failed) {
    const std::string diff = JoinPath(storage, kDiffFolderName);
    const FolderHandle folder = FolderHandle::OpenReal(diff);
    const std::string prefix = item + "_";
    bool removed = true;
    for (const std::string& name : folder.Entries()) {
        if (!name.starts_with(prefix) || !IsStampText(std::string_view(name).substr(prefix.size()))) continue;
        if (folder.Kind(name) != EntryKind::Folder) continue;
        removed = RemoveRunOutput(JoinPath(diff, name), stamp, failed) && removed;
    }
    return removed;
}

bool RemoveArchiverTemporariesSince(const std::string& datedFolder, const std::string& stamp,
                                    std::string& failed) {
    const FolderHandle folder = FolderHandle::OpenReal(datedFolder);
    bool removed = true;
    for (const std::string& name : folder.Entries()) {
        const std::string_view from = StampOfArchiverTemporary(name);
        if (from.empty() || from < stamp || folder.Kind(name) != EntryKind::File) continue;
        if (folder.Remove(name) == 0) continue;
        failed += (failed.empty() ? "" : "，") + JoinPath(datedFolder, name);
        removed = false;
    }
    return removed;
}

std::string WithSystemReason(const std::string& text, int code) {
    if (code == 0) return text;
    char buffer[256];
    return text + "（" + ::strerror_r(code, buffer, sizeof buffer) + "）";
}

}  // namespace zov
