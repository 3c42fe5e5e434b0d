#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "engine/BackupNames.h"
#include "engine/CommonFiles.h"
#include "engine/CommonPaths.h"
#include "engine/FileOperator.h"
#include "engine/QelLog.h"
#include "platform/Paths.h"

// Deletions: single paths, empty folder trees, deletion markers and reserved names.
namespace zov {

namespace {

constexpr int kDeleteFileType = 13;

std::string LastLevel(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes a file, link (not what it points to) or folder tree: 0 or an errno value. The root folder and
// paths ending in "." or ".." are refused.
int RemoveTree(const std::string& path) {
    const std::string last = LastLevel(path);
    if (path == "/" || last == "." || last == "..") return EPERM;
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return error.value();
}

}  // namespace

int CFileOperator::ForceDelete(const std::string& path) {
    const std::string target = CleanPath(path);
    if (target.empty() || !PathExists(target)) return 0;
    return RemoveTree(target) == 0 ? 1 : 0;
}

bool CFileOperator::DeletePath(const std::string& path, bool log) {
    const std::string target = CleanPath(path);
    if (target.empty() || !PathExists(target))
        return Fail("删除文件(夹)时，目标文件（夹） " + path + " 不存在");
    CQelLog record;
    if (log) {
        record.SetTaskId(0);
        record.SetCategory(kLogInterface);
        record.SetType(kDeleteFileType);
        record.SetTaskName("自动任务");
        record.SetMessage("---");
        record.SetTarget(target);
        record.Start();
        record.SetItem("---");
    }
    const int code = RemoveTree(target);
    if (log) {
        record.SetResult(code == 0 ? kLogSucceeded : kLogFailed);
        if (code != 0) record.SetMessage("删除失败，Shell错误码（" + std::to_string(code) + "）");
        record.Write();
    }
    return code == 0;
}

int CFileOperator::RemoveEmptyFolders(const std::string& folder) {
    if (!IsDirectory(folder)) return Fail("清除空文件夹时，指定的文件夹路径 " + folder + " 不存在");
    if (IsTreeWithoutFiles(folder)) return DeletePath(folder, false) ? 1 : 0;
    for (const std::string& name : ListDirectory(folder)) {
        const std::string entry = JoinPath(folder, name);
        if (!IsRealFolder(entry)) continue;
        const bool done =
            IsTreeWithoutFiles(entry) ? DeletePath(entry, false) : RemoveEmptyFolders(entry) == 1;
        if (!done) return 0;
    }
    return 1;
}

int CFileOperator::DeleteMarkedFiles(const std::string& folder, bool withNamed) {
    for (const std::string& name : ListDirectory(folder)) {
        const std::string entry = JoinPath(folder, name);
        struct stat info {};
        if (::lstat(entry.c_str(), &info) != 0) {
            if (errno == ENOENT) continue;  // deleted as the entry of a marker
            return 0;
        }
        if (S_ISDIR(info.st_mode)) {
            if (DeleteMarkedFiles(entry, withNamed) != 1) return 0;
        } else if (IsDeletionMarker(name)) {
            if (ForceDelete(entry) != 1) return 0;
            const std::string named = JoinPath(folder, std::string(MarkedName(name)));
            if (withNamed && PathExists(named) && !DeletePath(named, false)) return 0;
        } else if (withNamed && PathExists(entry + std::string(kDeletionMarker))) {
            if (!DeletePath(entry, false)) return 0;
        }
    }
    return 1;
}

int CFileOperator::DeleteReservedNames(const std::string& folder) {
    if (folder.empty() || !IsDirectory(folder)) return 0;
    const std::string clean = CleanPath(folder);
    if (IsReservedName(LastLevel(clean))) return ForceDelete(clean);
    for (const std::string& name : ListDirectory(clean)) {
        const std::string entry = JoinPath(clean, name);
        if (IsReservedName(name)) {
            if (ForceDelete(entry) != 1) return 0;
        } else if (IsRealFolder(entry) && DeleteReservedNames(entry) != 1) {
            return 0;
        }
    }
    return 1;
}

}  // namespace zov
