#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <stop_token>

#include "engine/archive/ZipOperator.h"
#include "engine/files/BackupNames.h"
#include "engine/files/CacheFolder.h"
#include "engine/files/FileOperator.h"
#include "engine/files/PendingSet.h"
#include "engine/logs/QelLog.h"
#include "engine/mssql/FolderAcl.h"
#include "engine/mssql/SqlOperator.h"
#include "engine/mssql/SqlServerNames.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/CommonText.h"
#include "engine/util/FolderHandle.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr int kSqlServerLogType = 9;

// A database of the run: a name as the instance spells it, or a selected name the instance does not list.
struct RunDatabase {
    std::string name;
    bool listed;
};

// The databases of the run: every one of the instance, or each selected name (once, case ignored) as the
// instance spells it, in the order selected, a name the instance lacks kept as selected unless the backups
// leave it out.
std::vector<RunDatabase> DatabasesToBackUp(const std::vector<std::string>& names,
                                           const std::vector<std::string>* selected) {
    std::vector<RunDatabase> chosen;
    if (selected == nullptr) {
        for (const std::string& name : names) chosen.push_back({name, true});
        return chosen;
    }
    std::vector<std::string> seen;
    for (const std::string& wanted : *selected) {
        const std::string lower = LowerCopy(wanted);
        bool repeated = false;
        for (const std::string& earlier : seen) repeated = repeated || earlier == lower;
        if (repeated) continue;
        seen.push_back(lower);
        bool listed = false;
        for (const std::string& name : names) {
            if (LowerCopy(name) != lower) continue;
            chosen.push_back({name, true});
            listed = true;
        }
        if (!listed && !IsLeftOutOfBackups(wanted)) chosen.push_back({wanted, false});
    }
    return chosen;
}

// Puts the archive file on disk: 0 or an errno value.
int SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    const int code = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return code;
}

// Compresses the backup file bak into the set's work folder and gives the archive its name in folder: the
// title given, or "" with message set.
std::string CompressBackupFile(PendingSet& set, const std::string& bak, const std::string& folder,
                               const std::string& password, const std::string& rarPath, const JobContext& job,
                               std::string& message) {
    if (!set.Make(message)) return "";
    CZipOperator zip(rarPath, job.stop);
    zip.SetOutputFolder(set.path());
    const bool compressed = zip.CompressFile(bak, folder, password, set.title());
    message = zip.message();
    if (!compressed) return "";
    if (const int code = SyncFile(set.path() + set.title() + ".rar")) {
        message = WithSystemReason("备份时，写入磁盘失败", code);
        return "";
    }
    return set.Commit(false, message);
}

}  // namespace

int CSQLOperator::BackupAllDatabases(int taskId, const std::string& storage, const std::string& dateFolder,
                                     const std::string& password, const std::string& rarPath,
                                     const JobContext& job) {
    return BackupDatabases(taskId, nullptr, storage, dateFolder, password, rarPath, job);
}

int CSQLOperator::BackupSelectedDatabases(int taskId, const std::vector<std::string>& selected,
                                          const std::string& storage, const std::string& dateFolder,
                                          const std::string& password, const std::string& rarPath,
                                          const JobContext& job) {
    return BackupDatabases(taskId, &selected, storage, dateFolder, password, rarPath, job);
}

int CSQLOperator::BackupDatabases(int taskId, const std::vector<std::string>* selected,
                                  const std::string& storage, const std::string& dateFolder,
                                  const std::string& password, const std::string& rarPath,
                                  const JobContext& job) {
    if (!IsDirectory(storage)) {
        message_ = "备份数据库时，目标文件夹 " + storage + " 不存在";
        return 0;
    }
    if (dateFolder.empty()) {
        message_ = "备份数据库时，未指定存储文件（夹）名";
        return 0;
    }
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    TaskInfo task;
    if (!store.Load() || !store.GetTaskById(taskId, task)) {
        message_ = "备份数据库时，根据ID（" + std::to_string(taskId) + "）获取任务信息失败。";
        return 0;
    }
    if (task.instance.empty()) {
        message_ = "备份数据库时，未获取到任务" + task.name + "的实例名。";
        return 0;
    }
    const std::string& instance = task.instance;
    CQelLog record;
    record.SetTaskId(taskId);
    record.SetTaskName(task.name);
    record.SetType(kSqlServerLogType);
    record.SetCategory(kLogSqlServer);

    const std::string folder = WithTrailingSlash(storage) + dateFolder + "/";
    CFileOperator files;
    const bool made = files.CreateFolder(folder) == 1;
    const FolderHandle dated = made ? FolderHandle::OpenReal(folder) : FolderHandle();
    if (!dated.IsOpen()) {
        message_ = "SQL Server备份时创建存储目录[" + folder + "]失败，错误号" + std::to_string(errno);
        return 0;
    }
    job.status.Status("[MSSQL备份]开始备份[" + instance + "]实例下的" + (selected ? "部分" : "所有") +
                      "数据库");
    const std::string cache = MakeCacheTempPath();
    const std::string temp = cache.empty() ? "" : WithTrailingSlash(cache);
    if (temp.empty() || files.CreateFolder(temp) != 1) {
        message_ = "SQL Server备份时创建临时目录[" + temp + "]失败，错误号" + std::to_string(errno);
        job.status.EndStatus();
        return 0;
    }
    TraverseGrant serverPassage;
    std::string denied;
    if (!GrantEveryoneAccess(temp, serverPassage, denied)) {
        message_ = denied;
        files.DeletePath(cache, true);
        job.status.EndStatus();
        return 0;
    }

    std::stop_callback cancel(job.stop, [this] { Cancel(); });
    std::vector<std::string> names;
    std::string failure;
    int result = 0;
    if (ListDatabaseNames(instance, names, false)) {
        result = 1;
        const std::string stamp = FormatLocalTime(Now(), kStampFormat);
        for (const auto& [name, listed] : DatabasesToBackUp(names, selected)) {
            if (job.stop.stop_requested()) {
                result = 0;
                break;
            }
            if (!listed) {
                message_ = MissingDatabaseText(name);
                record.Start();
                record.SetItem(name);
                record.SetTarget(storage);
                record.SetResult(kLogFailed);
                record.SetMessage(message_);
                record.Write();
                result = 0;
                failure = message_;
                continue;
            }
            PendingSet set(dated, folder, DatabaseFileName(name) + "_", stamp, taskId);
            const std::string base = set.title();
            const std::string bak = temp + base + ".bak";
            record.Start();
            record.SetItem(name);
            record.SetTarget(folder + base + ".rar");
            const bool written = connection_.Execute("backup database [" + BracketEscaped(name) +
                                                     "] to disk='" + QuoteEscaped(bak) + "'");
            bool done = false;
            if (written) {
                job.status.Status("[MSSQL备份]备份实例[" + instance + "]的数据库[" + name + "]至[" + bak +
                                  "]");
                job.status.EndStatus();
                job.status.Status("[MSSQL备份]压缩实例[" + instance + "]的数据库[" + name + "]的备份文件[" +
                                  bak + "]至[" + folder + "]" + (selected ? "" : "存储名[" + base + "]"));
                const std::string given =
                    CompressBackupFile(set, bak, folder, password, rarPath, job, message_);
                done = !given.empty();
                if (done) record.SetTarget(folder + given + ".rar");
            } else {
                message_ = connection_.error();
                job.status.Status("[MSSQL备份]删除临时文件[" + bak + "]");
            }
            RemovePath(bak);
            job.status.EndStatus();
            if (!done && job.stop.stop_requested()) {
                result = 0;
                break;
            }
            record.SetResult(done ? kLogSucceeded : kLogFailed);
            record.SetMessage(message_);
            record.Write();
            if (!done) {
                result = 0;
                failure = message_;
            }
        }
    }
    if (!failure.empty()) message_ = failure;
    job.status.Status("[MSSQL备份]删除临时文件[" + temp + "]");
    files.DeletePath(cache, true);
    job.status.EndStatus();
    return result;
}

}  // namespace zov
