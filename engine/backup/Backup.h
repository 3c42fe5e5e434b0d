#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "engine/jobs/JobContext.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/TaskInfo.h"

namespace zov {

class CacheWorkFolder;
class CQelLog;
class PendingSet;
struct MySqlDump;

// Operation types of the backup runs' log records.
enum BackupLogType : int {
    kLogTypeDiff = 4,
    kLogTypeFull = 5,
    kLogTypeNewBase = 7,
    kLogTypeSqlServer = 9,
    kLogTypeMySql = 11
};

// The name a source is backed up under: its last path component without surrounding blanks
// ("/data/Work Files/" gives "Work Files").
std::string BackupItemName(const std::string& source);

// The folder of a run's backups: storage folder + "YYYY-MM-DD/" of the run time.
std::string DatedFolder(const std::string& storage, std::time_t runTime);

// The start of the file run of task taskId that temp.ini [CURTASK] still holds; 0 when it holds none or
// an unreadable one.
std::time_t RecordedRunStart(int taskId);

// The backup runs of tasks. Runs on several threads may share one object. Every run is given the
// archiver it uses (rarPath, usually GetRarPath() read for that run) and its job context: its status lines
// go to job.status, and job.stop cuts it short. Results: non-zero on success; message receives the run's
// text.
//
// Every run that fails writes one "失败" record in the daily log of its kind and removes what it wrote.
// A set (a copy, an archive, each database's archive) is written into the run's own work folder
// (PendingSet) and gets its own name once complete and on disk, never replacing another: when its name is
// taken, it takes the next free stamp. A run is recorded "成功" only after its output is on disk. Folders a
// run makes are 0700, and it writes only into a dated folder that is a real folder, not a link.
class CBackup {
  public:
    virtual ~CBackup() = default;

    // A task of any kind, as the service's workers run it: RunFileTask, or the database run of its kind
    // with the date folder of now (GetDateText), its start held in temp.ini [CURTASK] until it ends (kept
    // when job.stop cut it short, for RecordInterruptedRun).
    int RunTask(const TaskInfo& task, const std::string& rarPath, std::string& message,
                const JobContext& job);

    // A file task: checks the source and the storage folder (both absolute; the storage folder is made
    // when missing, one level, 0700), runs the task's job and writes a failed run's message to the system
    // log. Every run that fails writes one "失败" record in the file log, also before its job starts.
    int RunFileTask(TaskInfo task, const std::string& rarPath, std::string& message, const JobContext& job);

    // A full backup started at runTime: the source copied to
    // "<dated folder>/<item>_<stamp>/<source name>/" or compressed to "<dated folder>/<item>_<stamp>.rar"
    // (or its volumes); one file log record. A run that job.stop cuts short (its archiver ended, its copy
    // stopped between two files) writes no record and leaves its output and its temp.ini "CURTASK" entry
    // for RecordInterruptedRun at the next start of the service.
    int BackupFull(TaskInfo& task, const std::string& rarPath, std::string& message, std::time_t runTime,
                   const JobContext& job);

    // A differential backup started at runTime against the task's base: the newest full backup of its
    // item ("<dated folder>/<item>_<stamp>[.rar]", FindBaseArchive) younger than basePeriod days. Without
    // one the run writes a new base as BackupFull does (record "更新"; a copied base also gets its empty
    // set folder "diff/<item>_<stamp>/<stamp>/"). With one, the files new or changed since the base and a
    // deletion marker per file gone from it go to "diff/<base title>/<stamp>.rar" (or volumes), or are
    // copied under "diff/<base title>/<stamp>/<source name>/"; an archive base is unpacked into a work
    // folder of the cache folder first. One file log record; a stopped run as BackupFull. The caller's
    // task gets its source without a trailing '/'.
    int BackupDiff(TaskInfo& task, const std::string& rarPath, std::string& message, std::time_t runTime,
                   const JobContext& job);

    // The full or differential backup of each direct sub-folder of the source (hidden ones, links and
    // the storage folder left out), all with the stamp of runTime, each with its own record and base;
    // two system log lines count them. Non-zero only when there was one and every one succeeded.
    int BackupSubfoldersFull(TaskInfo& task, const std::string& rarPath, std::string& message,
                             std::time_t runTime, const JobContext& job);
    int BackupSubfoldersDiff(TaskInfo& task, const std::string& rarPath, std::string& message,
                             std::time_t runTime, const JobContext& job);

    // Database tasks; dateText is GetDateText of the task.
    int RunSqlServerTask(TaskInfo task, const std::string& dateText, const std::string& rarPath,
                         std::string& message, const JobContext& job);
    int RunMySqlTask(TaskInfo task, const std::string& dateText, const std::string& rarPath,
                     std::string& message, const JobContext& job);

    // The MySQL jobs of the stored task taskId (its server found by its service name): every database of
    // the server's data folder, or the named ones, each dumped with "mariadb-dump"/"mysqldump" into a
    // private work folder and compressed to storage + "/" + dateFolder + "/<database>_<stamp>.rar", with
    // one MySQL log record each. A database succeeds only when the dump tool exited with 0, its dump is
    // there and its archive is on disk. Non-zero when every database succeeded (also when there is none).
    // A stop ends the job without further records; the recovery at the next start records it.
    int BackupMySqlAll(int taskId, const std::string& storage, const std::string& dateFolder,
                       const std::string& archivePassword, const std::string& rootPassword,
                       const std::string& rarPath, std::string& message, const JobContext& job);
    int BackupMySqlSelected(int taskId, const std::string& storage, const std::vector<std::string>& databases,
                            const std::string& dateFolder, const std::string& archivePassword,
                            const std::string& rootPassword, const std::string& rarPath, std::string& message,
                            const JobContext& job);

    // A run of the task started at runTime (0: unknown) that was cut short (service stopped, process
    // killed): removes the work folders that run left unfinished (RemovePartialSets in its dated folder,
    // and in the set folders under "diff/" for a differential task), never a set under its own name (it
    // may be another task's), writes one "失败" record saying so in the daily log of the task's kind and
    // deletes the task's "CURTASK" entry.
    // With runTime 0 only the record is written and the entry deleted.
    void RecordInterruptedRun(const TaskInfo& task, std::time_t runTime);
    // At the start of the service and of the management program: every hand run whose program ended before
    // the run did (FileEndedHandRuns) is logged to system.log and, when its task is still in task.db,
    // recorded as interrupted from its start.
    void RecoverEndedHandRuns();

  protected:
    // Puts everything written to the file system of the open folder on disk: 0 or an errno value.
    virtual int SyncToDisk(int folderFd);

  private:
    using SingleJob = int (CBackup::*)(TaskInfo&, const std::string&, std::string&, std::time_t,
                                       const JobContext&);

    int BackupSubfolders(TaskInfo& task, const std::string& rarPath, std::string& message,
                         std::time_t runTime, const JobContext& job, SingleJob single);
    // Writes the full set "<item>_<stamp>" of the task into datedFolder, with the status lines of a full
    // backup or of a differential task's new base (newBase); target receives the record's target, title
    // the set's title as given. Nullopt when job.stop cut it short.
    std::optional<bool> WriteFullSet(TaskInfo& task, const std::string& rarPath,
                                     const std::string& datedFolder, const std::string& item,
                                     const std::string& stamp, bool newBase, std::string& message,
                                     std::string& target, std::string& title, const JobContext& job);
    // Writes the differential set stamp of the source against compare into setFolder ("diff/<base
    // title>/"); the rest as WriteFullSet. The work folder (an unpacked base) is removed before the set is
    // put on disk, so that the sync never writes it back.
    std::optional<bool> WriteDiffSet(const TaskInfo& task, const std::string& rarPath,
                                     const std::string& setFolder, const std::string& stamp,
                                     const std::string& base, const std::string& compare,
                                     CacheWorkFolder& work, std::string& message, std::string& target,
                                     const JobContext& job);
    // Finishes a job that wrote its set without failing: the output put on disk (the file system of the
    // open folder folderFd) and the set committed. The title given; "" with message set when that fails.
    std::string FinishSet(int folderFd, PendingSet& set, bool copySet, std::string& message);
    // Dumps and compresses one database of a MySQL job (dumpCycles cycles of up to 6 runs of the tool)
    // and fills its record; false when it failed, nullopt when the job's stop cut it short.
    std::optional<bool> BackupMySqlDatabase(const MySqlDump& dump, const std::string& database,
                                            const std::string& folder, int dumpCycles, CQelLog& record,
                                            std::string& message);
};

}  // namespace zov
