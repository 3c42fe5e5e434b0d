#include <optional>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/backup/BackupOutput.h"
#include "engine/backup/BackupRecord.h"
#include "engine/files/BackupNames.h"
#include "engine/files/CacheFolder.h"
#include "engine/files/FileOperator.h"
#include "engine/files/PendingSet.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr const char* kNoTimeText = "差异备份的时候，获取当前时间失败";
constexpr const char* kNoNameText = "差异备份时，生成目标文件名失败";

// Where the source's tree lies in a full set or its unpacked copy: under the source's own name.
std::string CompareFolderIn(const std::string& set, const std::string& item) {
    const std::string named = JoinPath(set, item);
    return IsRealFolder(named) ? named : CleanPath(set);
}

bool CompressChanges(const TaskInfo& task, const std::string& rarPath, const std::string& setFolder,
                     const PendingSet& set, const std::string& base, const std::string& compare,
                     std::string& message, const JobContext& job) {
    const std::string stamp = set.title();
    const bool filtered = task.HasFlag(kTaskFilter);
    job.status.Status("[文件备份]压缩文件夹[" + task.source + "]至[" + set.path() + "]存储名[" + stamp +
                      (filtered ? "]基准库[" : "]基本库[") + base + "]");
    CZipOperator zip(rarPath, job.stop);
    zip.SetExcludedFolder(task.dest);
    zip.SetOutputFolder(set.path());
    const bool compressed =
        filtered ? zip.CompressChangesFiltered(task.source, setFolder, compare, task.password, stamp,
                                               task.filter, task.partial)
                 : zip.CompressChanges(task.source, setFolder, compare, task.password, stamp, task.partial);
    message = zip.message();
    return compressed;
}

// Copies the changes under the set's work folder + "/" + the source's own name.
bool CopyChanges(const TaskInfo& task, const std::string& setFolder, const PendingSet& set,
                 const std::string& base, const std::string& compare, std::string& message,
                 const JobContext& job) {
    const std::string folder = set.path();
    job.status.Status("[文件备份]复制文件[" + task.source + "]至[" + setFolder + set.title() + "]基本库[" +
                      base + "]");
    CFileOperator files;
    files.SetExcludedFolder(task.dest);
    files.SetStopToken(job.stop);
    const bool copied = task.HasFlag(kTaskFilter)
                            ? files.CopyChangedFiltered(task.source, folder, compare, "", true, task.filter,
                                                        false, false) != 0
                            : files.CopyChanged(task.source, folder, compare, "", true, false) != 0;
    if (task.HasFlag(kTaskFilter)) {
        files.RemoveEmptyFolders(folder);
    } else {
        // A folder new since the base stays, empty or not; the others were made only to walk them.
        const std::string copy = folder + LastPathLevel(task.source);
        if (IsRealFolder(copy)) files.RemoveEmptyFoldersKnownTo(copy, compare);
        if (IsFolderEmpty(folder)) RemovePath(CleanPath(folder));
    }
    message = copied ? "" : WithSystemReason(files.error(), files.errorNumber());
    return copied;
}

// The set folder of a new copied base, "diff/<base title>/<its stamp>/": the expiry keeps a base while its
// set folder exists.
bool MakeBaseSetFolder(const std::string& storage, const std::string& title, std::string& message) {
    const std::string diff = storage + kDiffFolderName + "/";
    return OpenBackupFolder(diff, message).IsOpen() && OpenBackupFolder(diff + title, message).IsOpen() &&
           OpenBackupFolder(diff + title + "/" + std::string(StampOfTitle(title)), message).IsOpen();
}

}  // namespace

std::optional<bool> CBackup::WriteDiffSet(const TaskInfo& task, const std::string& rarPath,
                                          const std::string& setFolder, const std::string& stamp,
                                          const std::string& base, const std::string& compare,
                                          CacheWorkFolder& work, std::string& message, std::string& target,
                                          const JobContext& job) {
    const bool compressed = task.HasFlag(kTaskCompress);
    target = setFolder + stamp + (compressed ? ".rar" : "");
    const FolderHandle diff = OpenBackupFolder(JoinPath(task.dest, kDiffFolderName), message);
    const FolderHandle folder = diff.IsOpen() ? OpenBackupFolder(setFolder, message) : FolderHandle();
    PendingSet set(folder, setFolder, "", stamp, task.id);
    bool succeeded = folder.IsOpen() && set.Make(message) &&
                     (compressed ? CompressChanges(task, rarPath, setFolder, set, base, compare, message, job)
                                 : CopyChanges(task, setFolder, set, base, compare, message, job));
    if (job.stop.stop_requested()) {
        set.Leave();
        return std::nullopt;
    }
    // The unpacked base goes before the set is put on disk, so that the sync never writes it back.
    const std::string unpacked = work.path();
    work.Remove();
    std::string title;
    if (succeeded) {
        if (compressed) {
            job.status.Status(
                (task.HasFlag(kTaskFilter) ? "[文件备份]复制文件[" : "[文件备份]复制文件夹内容[") +
                set.path() + "]至[" + setFolder + "]");
        }
        title = FinishSet(folder.fd(), set, !compressed, message);
        succeeded = !title.empty();
        if (compressed) job.status.Status("[文件备份]删除临时文件[" + set.path() + "]");
    }
    if (!unpacked.empty()) job.status.Status("[文件备份]删除临时文件[" + unpacked + "]");
    if (succeeded) {
        target = compressed ? FindVolumeName(setFolder + title) : setFolder + title;
    } else {
        DiscardSet(set, message);
    }
    return succeeded;
}

int CBackup::BackupDiff(TaskInfo& task, const std::string& rarPath, std::string& message, std::time_t runTime,
                        const JobContext& job) {
    task.source = CleanPath(task.source);
    task.dest = WithTrailingSlash(CleanPath(task.dest));
    CQelLog log = TaskRecord(task);
    log.SetType(kLogTypeDiff);

    const std::string datedFolder = DatedFolder(task.dest, runTime);
    const std::string stamp = FormatLocalTime(runTime, kStampFormat);
    const std::string startText = FormatLocalTime(runTime, kRunStartFormat);
    if (datedFolder.empty() || stamp.empty() || startText.empty()) {
        message = kNoTimeText;
        return 0;
    }
    const IniFile temp(TempIniPath());
    const std::string taskKey = std::to_string(task.id);
    temp.Write(taskKey, kCurrentTaskSection, startText);
    if (task.HasFlag(kTaskFilter)) task.filter.exclude = !task.HasFlag(kTaskFilterInclude);

    const std::string item = BackupItemName(task.source);
    const std::string base = CFileOperator().FindBaseArchive(task.dest, item, task.basePeriod);
    const bool baseIsFolder = !base.empty() && IsRealFolder(base);
    const std::string title(BackupTitle(base.substr(base.rfind('/') + 1), baseIsFolder));
    if (!base.empty() && StampOfTitle(title).empty()) {
        message = kNoNameText;
        temp.Write(taskKey, kCurrentTaskSection, "");
        return 0;
    }

    std::string target;
    std::optional<bool> written;
    if (base.empty()) {
        log.SetType(kLogTypeNewBase);
        target = datedFolder + item + "_" + stamp;
        std::string given;
        if (item.empty()) {
            message = kNoNameText;
            written = false;
        } else {
            written =
                WriteFullSet(task, rarPath, datedFolder, item, stamp, true, message, target, given, job);
        }
        if (written == true && !task.HasFlag(kTaskCompress))
            written = MakeBaseSetFolder(task.dest, given, message);
    } else {
        const std::string setFolder = task.dest + kDiffFolderName + "/" + title + "/";
        CacheWorkFolder work;
        std::string compare;
        if (baseIsFolder) {
            compare = CompareFolderIn(base, item);
        } else if (work.path().empty()) {
            message = "差异备份时，无法在缓存目录中创建临时目录";
            written = false;
        } else {
            const std::string unpacked = work.path() + stamp + std::string(kDeletionMarker);
            job.status.Status("[文件备份]解压基准库[" + base + "]到临时目录[" + work.path() + "]存储名[" +
                              stamp + std::string(kDeletionMarker) + "]");
            CZipOperator zip(rarPath, job.stop);
            const bool unpackedOk =
                zip.ExtractFile(base, work.path(), task.password, stamp + std::string(kDeletionMarker)) == 0;
            if (job.stop.stop_requested()) return 0;
            if (!unpackedOk) {
                job.status.Status("[文件备份]删除临时文件[" + unpacked + "]");
                WriteFailedRecord(task, task.dest, zip.message());
                temp.Write(taskKey, kCurrentTaskSection, "");
                job.status.EndStatus();
                message = "差异备份时，基准库" + base + "解压失败。" + zip.message();
                return 0;
            }
            compare = CompareFolderIn(unpacked, item);
        }
        if (!written.has_value())
            written =
                WriteDiffSet(task, rarPath, setFolder, stamp, base, compare, work, message, target, job);
    }
    job.status.EndStatus();
    if (!written) return 0;

    log.SetTarget(target);
    log.SetResult(*written ? kLogSucceeded : kLogFailed);
    log.SetMessage(message);
    log.Write();
    temp.Write(taskKey, kCurrentTaskSection, "");
    return *written ? 1 : 0;
}

}  // namespace zov
