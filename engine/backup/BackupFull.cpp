#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/backup/BackupOutput.h"
#include "engine/backup/BackupRecord.h"
#include "engine/files/BackupNames.h"
#include "engine/files/FileOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "platform/Clock.h"

namespace zov {
namespace {

constexpr const char* kNotOnDiskText = "备份时，写入磁盘失败";

// Compresses the source to datedFolder + itemStamp + ".rar" (or volumes); returns the log target.
bool CompressSource(const TaskInfo& task, const std::string& rarPath, const std::string& datedFolder,
                    const std::string& itemStamp, std::string& message, std::string& target,
                    const JobContext& job) {
    const std::string archiveName = itemStamp + ".rar";
    job.status.Status("[文件备份]压缩文件夹[" + task.source + "]至目录[" + datedFolder + "]存储名[" +
                      archiveName + "]");
    CZipOperator zip(rarPath, job.stop);
    zip.SetExcludedFolder(task.dest);
    const bool compressed =
        task.HasFlag(kTaskFilter)
            ? zip.CompressFolderFiltered(task.source, datedFolder, task.password, archiveName,
                                         task.filter.exclude, task.filter.extensions, task.partial)
            : zip.CompressFolder(task.source, datedFolder, task.password, archiveName, task.partial);
    job.status.EndStatus();
    message = zip.message();
    target = compressed ? FindVolumeName(datedFolder + itemStamp) : datedFolder + archiveName;
    return compressed;
}

// Copies the source under datedFolder + PartialSetName(itemStamp) + "/" + its own name.
bool CopySource(const TaskInfo& task, const std::string& datedFolder, const std::string& itemStamp,
                std::string& message, const JobContext& job) {
    const std::string folder = datedFolder + PartialSetName(itemStamp) + "/";
    job.status.Status("[文件备份]复制文件[" + task.source + "]至[" + datedFolder + itemStamp + "/]");
    CFileOperator files;
    files.SetExcludedFolder(task.dest);
    files.SetStopToken(job.stop);
    bool copied;
    if (task.HasFlag(kTaskFilter)) {
        copied = files.CopyFolderFiltered(task.source, folder, "", true, task.filter, false, false) != 0;
        files.RemoveEmptyFolders(folder);
    } else {
        copied = files.CopyFolder(task.source, folder, "", true, false) != 0;
    }
    job.status.EndStatus();
    message = copied ? files.error() : WithSystemReason(files.error(), files.errorNumber());
    return copied;
}

}  // namespace

int CBackup::SyncToDisk(int folderFd) { return ::syncfs(folderFd) == 0 ? 0 : errno; }

bool CBackup::FinishSet(int datedFd, const std::string& datedFolder, const std::string& itemStamp,
                        bool copySet, std::string& message) {
    if (const int code = SyncToDisk(datedFd)) {
        message = WithSystemReason(kNotOnDiskText, code);
        return false;
    }
    const std::string partial = PartialSetName(itemStamp);
    struct stat info {};
    // A filtered copy that took nothing leaves no set.
    if (!copySet || ::fstatat(datedFd, partial.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return true;
    if (::renameat2(datedFd, partial.c_str(), datedFd, itemStamp.c_str(), RENAME_NOREPLACE) != 0) {
        message = WithSystemReason("备份时，无法将" + datedFolder + partial + "改名为" + itemStamp, errno);
        return false;
    }
    if (::fsync(datedFd) == 0) return true;
    message = WithSystemReason(kNotOnDiskText, errno);
    CFileOperator().ForceDelete(datedFolder + itemStamp);
    return false;
}

std::optional<bool> CBackup::WriteFullSet(TaskInfo& task, const std::string& rarPath,
                                          const std::string& datedFolder, const std::string& itemStamp,
                                          std::string& message, std::string& target, const JobContext& job) {
    const bool compressed = task.HasFlag(kTaskCompress);
    const FolderHandle dated = OpenBackupFolder(datedFolder, message);
    bool succeeded = dated.IsOpen() &&
                     (compressed ? CompressSource(task, rarPath, datedFolder, itemStamp, message, target, job)
                                 : CopySource(task, datedFolder, itemStamp, message, job));
    if (job.stop.stop_requested()) return std::nullopt;
    if (succeeded) succeeded = FinishSet(dated.fd(), datedFolder, itemStamp, !compressed, message);
    std::string left;
    if (!succeeded && dated.IsOpen() && !RemoveRunOutput(datedFolder, itemStamp, left)) {
        message += "，未完成的备份删除失败：" + left;
    }
    return succeeded;
}

int CBackup::BackupFull(TaskInfo& task, const std::string& rarPath, std::string& message, std::time_t runTime,
                        const JobContext& job) {
    CQelLog log = TaskRecord(task);
    log.SetType(kLogTypeFull);

    const std::string datedFolder = DatedFolder(task.dest, runTime);
    const std::string stamp = FormatLocalTime(runTime, kStampFormat);
    const std::string startText = FormatLocalTime(runTime, kRunStartFormat);
    if (datedFolder.empty() || stamp.empty() || startText.empty()) {
        message = "备份时发生内部错误，获取任务时间失败。";
        WriteFailedRecord(task, task.dest, message);
        return 0;
    }
    const std::string itemStamp = BackupItemName(task.source) + "_" + stamp;
    std::string target = datedFolder + itemStamp;

    const IniFile temp(TempIniPath());
    const std::string taskKey = std::to_string(task.id);
    temp.Write(taskKey, kCurrentTaskSection, startText);
    if (task.HasFlag(kTaskFilter)) task.filter.exclude = !task.HasFlag(kTaskFilterInclude);

    const std::optional<bool> written =
        WriteFullSet(task, rarPath, datedFolder, itemStamp, message, target, job);
    // Cut short by the job's stop: the recovery at the next start of the service records it.
    if (!written) return 0;
    const bool succeeded = *written;

    log.SetTarget(target);
    log.SetResult(succeeded ? kLogSucceeded : kLogFailed);
    log.SetMessage(message);
    log.Write();
    temp.Write(taskKey, kCurrentTaskSection, "");
    return succeeded ? 1 : 0;
}

}  // namespace zov
