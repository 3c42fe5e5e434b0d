#include <algorithm>
#include <chrono>
#include <memory>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/backup/BackupOutput.h"
#include "engine/backup/BackupRecord.h"
#include "engine/files/BackupNames.h"
#include "engine/files/CacheFolder.h"
#include "engine/files/FileOperator.h"
#include "engine/files/PendingSet.h"
#include "engine/mysql/MySqlConnection.h"
#include "engine/mysql/MySqlDataDir.h"
#include "engine/mysql/MySqlDatabases.h"
#include "engine/mysql/MySqlRun.h"
#include "engine/mysql/MySqlServerDatabases.h"
#include "engine/mysql/MySqlTools.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonText.h"
#include "engine/util/FolderHandle.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {
namespace {

using namespace std::chrono_literals;

constexpr const char* kAllDatabases = "?????";
// Runs of the dump tool per cycle, and the pauses after a run and after a cycle without a dump.
constexpr int kDumpRuns = 6;
constexpr int kAllDumpCycles = 1;
constexpr int kSelectedDumpCycles = 4;
constexpr auto kRunPause = 500ms;
constexpr auto kCyclePause = 1000ms;
// The longest one dump may take.
constexpr auto kDumpTimeout = std::chrono::hours(24);

std::string DumpToolMissingText(const std::string& tool) { return "文件" + tool + "不存在，无法备份。"; }

}  // namespace

// What every database of one MySQL job shares.
struct MySqlDump {
    TaskInfo task;
    std::string dataDir;
    std::string datedFolder;
    FolderHandle dated;
    std::string tool;
    std::string client;
    std::unique_ptr<MySqlClientOptions> options;
    std::string archivePassword;
    std::string rarPath;
    const JobContext& job;
};

namespace {

// Steps shared by both jobs before their first database; false with message set when the job cannot
// start (its "失败" record written when the task is known).
bool PrepareMySqlDump(MySqlDump& dump, int taskId, const std::string& storage, const std::string& dateFolder,
                      const std::string& rootPassword, std::string& message) {
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    if (!store.Load() || !store.GetTaskById(taskId, dump.task)) {
        message = "mysql备份时，根据ID(" + std::to_string(taskId) + ")获取任务信息失败。";
        return false;
    }
    const MySqlDataDirSearch server = SearchMySqlDataDir(dump.task.serviceName);
    dump.dataDir = server.dataDir;
    if (!IsDirectory(dump.dataDir)) {
        message = "data目录 " + dump.dataDir + " 无效";
    } else if (dump.datedFolder = WithTrailingSlash(storage) + dateFolder + "/";
               dateFolder.empty() || !IsAbsolutePath(storage)) {
        message = "备份MySQL数据库时，指定的存储目录" + dump.datedFolder + "无效,错误号：0";
    } else if (CFileOperator().CreateFolder(WithTrailingSlash(storage)) != 1 ||
               !(dump.dated = OpenBackupFolder(dump.datedFolder, message)).IsOpen()) {
        if (message.empty())
            message = WithSystemReason("备份MySQL数据库时，指定的存储目录" + storage + "无效", errno);
    } else {
        dump.tool = FindMySqlTool(server.programFolder, kMySqlDumpTools);
        dump.client = FindMySqlTool(server.programFolder, kMySqlClients);
        dump.options = std::make_unique<MySqlClientOptions>(MySqlServerConnection(server), rootPassword);
        if (dump.options->ok()) return true;
        message = dump.options->error();
    }
    WriteFailedRecord(dump.task, storage, message);
    return false;
}

}  // namespace

int CBackup::RunMySqlTask(TaskInfo task, const std::string& dateText, const std::string& rarPath,
                          std::string& message, const JobContext& job) {
    WriteSystemLog("进入MySQL备份。", true, true);
    if (task.IsFileTask() || task.sqlType != kMySql) {
        message = "备份mysql的时候，发生内部错误。";
        WriteSystemLog(message, true, true);
        return 0;
    }
    std::vector<std::string> databases;
    SplitToArray(databases, task.database, "|");
    if (FindMySqlDataDir(task.serviceName).empty()) {
        message = "获取data目录失败。";
        WriteFailedRecord(task, task.dest, message);
        return 0;
    }
    const int result = task.database == kAllDatabases
                           ? BackupMySqlAll(task.id, task.dest, dateText, task.password, task.rootPassword,
                                            rarPath, message, job)
                           : BackupMySqlSelected(task.id, task.dest, databases, dateText, task.password,
                                                 task.rootPassword, rarPath, message, job);
    WriteSystemLog("MySQL任务执行完毕", true, true);
    return result;
}

int CBackup::BackupMySqlAll(int taskId, const std::string& storage, const std::string& dateFolder,
                            const std::string& archivePassword, const std::string& rootPassword,
                            const std::string& rarPath, std::string& message, const JobContext& job) {
    MySqlDump dump{{}, "", "", {}, "", "", nullptr, archivePassword, rarPath, job};
    if (!PrepareMySqlDump(dump, taskId, storage, dateFolder, rootPassword, message)) return 0;
    // The server the dumps reach lists its databases; the data folder only where no client can ask it.
    std::optional<std::vector<MySqlDatabase>> databases =
        dump.client.empty() ? ListMySqlDatabases(dump.dataDir)
                            : AskMySqlDatabases(dump.client, *dump.options, job.stop, message);
    if (job.stop.stop_requested()) return 0;
    if (!databases) {
        WriteFailedRecord(dump.task, storage, message);
        return 0;
    }
    int result = 1;
    for (const MySqlDatabase& database : *databases) {
        CQelLog record = TaskRecord(dump.task);
        record.SetItem(database.name);
        const std::optional<bool> done =
            BackupMySqlDatabase(dump, database.name, database.folder, kAllDumpCycles, record, message);
        if (!done) return 0;
        if (!*done) result = 0;
    }
    return result;
}

int CBackup::BackupMySqlSelected(int taskId, const std::string& storage,
                                 const std::vector<std::string>& databases, const std::string& dateFolder,
                                 const std::string& archivePassword, const std::string& rootPassword,
                                 const std::string& rarPath, std::string& message, const JobContext& job) {
    MySqlDump dump{{}, "", "", {}, "", "", nullptr, archivePassword, rarPath, job};
    if (!PrepareMySqlDump(dump, taskId, storage, dateFolder, rootPassword, message)) return 0;
    const std::vector<MySqlDatabase> present = ListMySqlDatabases(dump.dataDir);
    int result = 1;
    for (const std::string& name : databases) {
        CQelLog record = TaskRecord(dump.task);
        record.SetItem(name);
        record.SetTarget(dump.task.dest);
        const auto found = std::find_if(present.begin(), present.end(),
                                        [&](const MySqlDatabase& database) { return database.name == name; });
        std::string failure;
        if (found == present.end()) {
            failure = "备份MySQL数据库时，指定的数据库名" + name + "无效";
        } else if (IsFolderEmpty(WithTrailingSlash(dump.dataDir) + found->folder)) {
            failure = "数据库为空，被跳过。";
            dump.job.asker.Warn("备份MySQL数据库时，数据库" + found->folder + "内容为空，将被跳过。", "警告");
        }
        if (!failure.empty()) {
            message = failure;
            record.SetResult(kLogFailed);
            record.SetMessage(failure);
            record.Write();
            result = 0;
            continue;
        }
        const std::optional<bool> done =
            BackupMySqlDatabase(dump, name, found->folder, kSelectedDumpCycles, record, message);
        if (!done) return 0;
        if (!*done) result = 0;
    }
    return result;
}

std::optional<bool> CBackup::BackupMySqlDatabase(const MySqlDump& dump, const std::string& database,
                                                 const std::string& folder, int dumpCycles, CQelLog& record,
                                                 std::string& message) {
    const JobContext& job = dump.job;
    auto fail = [&](const std::string& text) {
        message = text;
        record.SetResult(kLogFailed);
        record.SetMessage(text);
        record.Write();
        return false;
    };
    CacheWorkFolder work;
    if (work.path().empty()) return fail("生成临时文件夹名失败。");
    if (dump.tool.empty()) return fail(DumpToolMissingText(WithTrailingSlash(ProgramDir()) + "mysqldump"));

    const std::string title = MySqlDumpTitle({database, folder});
    const std::string dumpFile = work.path() + title + ".sql";
    job.status.Status("[MySQL备份]复制数据库目录[" + WithTrailingSlash(dump.dataDir) + folder + "]至[" +
                      dumpFile + "]");
    const std::vector<std::string> argv{dump.tool,
                                        dump.options->Argument(),
                                        "--opt",
                                        "--single-transaction=TRUE",
                                        "--default-character-set=utf8mb4",
                                        "--routines",
                                        "--events",
                                        "--",
                                        database};
    const MySqlToolFiles files{"", dumpFile, work.path() + "errors.txt"};
    MySqlToolRun run;
    bool dumped = false;
    for (int cycle = 0; cycle < dumpCycles && !dumped && !run.final; ++cycle) {
        if (cycle > 0 && !SleepUnlessStopped(job.stop, kCyclePause)) break;
        for (int attempt = 0; attempt < kDumpRuns && !dumped && !run.final; ++attempt) {
            if (attempt > 0 && !SleepUnlessStopped(job.stop, kRunPause)) break;
            run = RunBatchFile(argv, files, kDumpTimeout, job.stop, dump.options->server());
            dumped = run.succeeded && IsRegularFile(dumpFile);
        }
    }
    job.status.EndStatus();
    if (job.stop.stop_requested()) return std::nullopt;
    if (!dumped)
        return fail(run.errorText.empty() ? "备份MySQL数据库" + database + "时，导出失败" : run.errorText);

    const std::string stamp = FormatLocalTime(Now(), kStampFormat);
    if (stamp.empty()) return fail("获取当前时间出错");
    PendingSet set(dump.dated, dump.datedFolder, title + "_", stamp, dump.task.id);
    const std::string archiveName = set.title() + ".rar";
    record.SetTarget(dump.datedFolder + archiveName);
    job.status.Status("[MySQL备份]压缩数据库[" + database + "]至[" + dump.datedFolder + "]存储名[" +
                      archiveName + "]");
    CZipOperator zip(dump.rarPath, job.stop);
    zip.SetOutputFolder(set.path());
    bool succeeded = set.Make(message);
    if (succeeded) {
        succeeded = zip.CompressFile(dumpFile, dump.datedFolder, dump.archivePassword, archiveName);
        message = zip.message();
    }
    job.status.EndStatus();
    // Gone before the sync, so that the sync does not write the dump to disk for nothing.
    RemovePath(dumpFile);
    if (job.stop.stop_requested()) succeeded = false;
    std::string given;
    if (succeeded) {
        given = FinishSet(dump.dated.fd(), set, false, message);
        succeeded = !given.empty();
    }
    if (succeeded) {
        record.SetTarget(dump.datedFolder + given + ".rar");
    } else {
        job.status.Status("[MySQL备份]删除临时文件[" + dump.datedFolder + archiveName + "]");
        DiscardSet(set, message);
        job.status.EndStatus();
        if (job.stop.stop_requested()) return std::nullopt;
    }
    record.SetResult(succeeded ? kLogSucceeded : kLogFailed);
    record.SetMessage(message);
    record.Write();
    job.status.Status("[MySQL备份]删除临时文件[" + work.path() + "]");
    work.Remove();
    job.status.EndStatus();
    return succeeded;
}

}  // namespace zov
