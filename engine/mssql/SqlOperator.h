#pragma once

#include <string>
#include <vector>

#include "engine/jobs/JobContext.h"
#include "platform/OdbcConnection.h"

namespace zov {

// A SQL Server of this computer, reached through ODBC as config.ini [MSSQL] says (SqlServerConnection.h):
// listings, backups of its databases into compressed archives, and the restore operations. One object per
// task run or restore, used on one thread; message() holds the text of the last failure or status. The
// password of the connection never reaches a message.
class CSQLOperator {
  public:
    const std::string& message() const { return message_; }

    // Opens the connection of the instance ("" or "MSSQLSERVER": the default instance), the statement
    // time-out 9999 seconds.
    bool Connect(const std::string& instance);

    // The instance's databases, tempdb and master always left out, and without includeSystem pubs,
    // model, msdb and northwind too: ListDatabases compares these exactly ("Northwind" in both spellings),
    // ListDatabaseNames ignoring case. False with message set when the connection or the listing failed.
    bool ListDatabases(const std::string& instance, std::vector<std::string>& out, bool includeSystem);
    bool ListDatabaseNames(const std::string& instance, std::vector<std::string>& out, bool includeSystem);

    // The backup runs of the task taskId (read from the task store): each database (all of the task's
    // instance, or those of selected that it holds, matched ignoring case, each once) is backed up by the
    // server into a fresh cache folder and compressed to "<storage>/<dateFolder>/<name>_<stamp>.rar" with
    // the archiver rarPath (the next free stamp when another archive has that name: names that map to one
    // file name, another task's), one SQL Server log record per database; a selected name the instance
    // does not list gets a "失败" record (MissingDatabaseText, target storage) and the others are still
    // backed up. 1 when every database succeeded, 0 otherwise; a stop requested through job.stop cancels
    // the running statement and ends the run without a record for the database cut short.
    int BackupAllDatabases(int taskId, const std::string& storage, const std::string& dateFolder,
                           const std::string& password, const std::string& rarPath, const JobContext& job);
    int BackupSelectedDatabases(int taskId, const std::vector<std::string>& selected,
                                const std::string& storage, const std::string& dateFolder,
                                const std::string& password, const std::string& rarPath,
                                const JobContext& job);

    // One backup to folder + '/' + database + ".bak" (the database as the instance spells it).
    bool BackupDatabase(const std::string& instance, const std::string& database, const std::string& folder);

    // Connects to master of the instance and ends every session of database through the procedure
    // killspid, created in master when missing.
    bool ConnectForRestore(const std::string& instance, const std::string& database);
    // "restore database [database] from disk='file' with replace" on a new connection of the instance.
    bool RestoreDatabase(const std::string& instance, const std::string& database, const std::string& file);

    // The instances of config.ini [MSSQL] "Instances" ('|'-separated; "MSSQLSERVER" when missing). True
    // when out holds at least one. GetInstancesNoRedirect gives the same list.
    bool GetInstances(std::vector<std::string>& out);
    bool GetInstancesNoRedirect(std::vector<std::string>& out);

    // From any thread: cancels the running statement and every later one.
    void Cancel() { connection_.Cancel(); }

  private:
    bool Open(const std::string& instance, const std::string& database);
    // The run of BackupAllDatabases (selected null) and BackupSelectedDatabases.
    int BackupDatabases(int taskId, const std::vector<std::string>* selected, const std::string& storage,
                        const std::string& dateFolder, const std::string& password,
                        const std::string& rarPath, const JobContext& job);

    OdbcConnection connection_;
    std::string message_;
};

// tempdb, master and the databases ListDatabaseNames leaves out without includeSystem, ASCII case ignored:
// the backups never take them.
bool IsLeftOutOfBackups(const std::string& name);

// The failure of a backup of a database that the instance does not list.
std::string MissingDatabaseText(const std::string& database);

}  // namespace zov
