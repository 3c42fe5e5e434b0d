#include <unistd.h>

#include <cerrno>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/backup/BackupOutput.h"
#include "engine/backup/BackupRecord.h"
#include "engine/files/BackupNames.h"
#include "engine/files/FileOperator.h"
#include "engine/files/PendingSet.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"

namespace zov {
namespace {

constexpr const char* kNotOnDiskText = "备份时，写入磁盘失败";

// Compresses the source to the set's title + ".rar" (or volumes) in its work folder; target receives the
// archive's place. A differential task's new base tells of the work folder.
bool CompressSource(const TaskInfo& task, const std::string& rarPath, const std::string& datedFolder,
                    const PendingSet& set, bool newBase, std::string& message, std::string& target,
                    const JobContext& job) {
    const std::string archiveName = set.title() + ".rar";
    job.status.Status("[文件备份]压缩文件夹[" + task.source +
                      (newBase ? "]至临时目录[" + set.path() : "]至目录[" + datedFolder) + "]存储名[" +
                      archiveName + "]");
    CZipOperator zip(rarPath, job.stop);
    zip.SetExcludedFolder(task.dest);
    zip.SetOutputFolder(set.path());
    const bool compressed =
        task.HasFlag(kTaskFilter)
            ? zip.CompressFolderFiltered(task.source, datedFolder, task.password, archiveName,
                                         task.filter.exclude, task.filter.extensions, task.partial)
            : zip.CompressFolder(task.source, datedFolder, task.password, archiveName, task.partial);
    job.status.EndStatus();
    message = zip.message();
    target = datedFolder + archiveName;
    return compressed;
}

// Copies the source under the set's work folder + "/" + its own name.
bool CopySource(const TaskInfo& task, const std::string& datedFolder, const PendingSet& set, bool newBase,
                std::string& message, const JobContext& job) {
    const std::string folder = set.path();
    job.status.Status(newBase
                          ? "[文件备份]复制文件夹[" + task.source + "]至[" + datedFolder + "]"
                          : "[文件备份]复制文件[" + task.source + "]至[" + datedFolder + set.title() + "/]");
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

std::string CBackup::FinishSet(int folderFd, PendingSet& set, bool copySet, std::string& message) {
    if (const int code = SyncToDisk(folderFd)) {
        message = WithSystemReason(kNotOnDiskText, code);
        return "";
    }
    return set.Commit(copySet, message);
}

std::optional<bool> CBackup::WriteFullSet(TaskInfo& task, const std::string& rarPath,
                                          const std::string& datedFolder, const std::string& item,
                                          const std::string& stamp, bool newBase, std::string& message,
                                          std::string& target, std::string& title, const JobContext& job) {
    const bool compressed = task.HasFlag(kTaskCompress);
    const FolderHandle dated = OpenBackupFolder(datedFolder, message);
    PendingSet set(dated, datedFolder, item + "_", stamp, task.id);
    title = set.title();
    bool succeeded =
        dated.IsOpen() && set.Make(message) &&
        (compressed ? CompressSource(task, rarPath, datedFolder, set, newBase, message, target, job)
                    : CopySource(task, datedFolder, set, newBase, message, job));
    if (job.stop.stop_requested()) {
        set.Leave();
        return std::nullopt;
    }
    if (succeeded) {
        const bool toldOfWork = newBase && compressed;
        if (toldOfWork) job.status.Status("[文件备份]复制文件夹[" + set.path() + "]至[" + datedFolder + "]");
        title = FinishSet(dated.fd(), set, !compressed, message);
        succeeded = !title.empty();
        if (toldOfWork) job.status.Status("[文件备份]删除临时文件[" + set.path() + "]");
    }
    if (succeeded) {
        target = compressed ? FindVolumeName(datedFolder + title) : datedFolder + title;
    } else {
        DiscardSet(set, message);
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
    const std::string item = BackupItemName(task.source);
    std::string target = datedFolder + item + "_" + stamp;

    const IniFile temp(TempIniPath());
    const std::string taskKey = std::to_string(task.id);
    temp.Write(taskKey, kCurrentTaskSection, startText);
    if (task.HasFlag(kTaskFilter)) task.filter.exclude = !task.HasFlag(kTaskFilterInclude);

    std::string title;
    const std::optional<bool> written =
        WriteFullSet(task, rarPath, datedFolder, item, stamp, false, message, target, title, job);
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
