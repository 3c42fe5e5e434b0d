#include "engine/backup/Backup.h"
#include "engine/mssql/SqlOperator.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/CommonText.h"

namespace zov {
namespace {

// The database list of a task that backs up every database of its instance.
constexpr const char* kAllDatabases = "?????";

}  // namespace

int CBackup::RunSqlServerTask(TaskInfo task, const std::string& dateText, const std::string& rarPath,
                              std::string& message, const JobContext& job) {
    WriteSystemLog("进入MSSQL备份。", true, true);
    if (task.IsFileTask() || task.sqlType != kSqlServer) return 0;
    std::vector<std::string> selected;
    SplitToList(selected, task.database, '|');
    CSQLOperator sql;
    const int result = task.database == kAllDatabases
                           ? sql.BackupAllDatabases(task.id, task.dest, dateText, task.password, rarPath, job)
                           : sql.BackupSelectedDatabases(task.id, selected, task.dest, dateText,
                                                         task.password, rarPath, job);
    WriteSystemLog("MSSQL任务执行完毕", true, true);
    message = sql.message();
    if (result == 0) WriteSystemLog(message);
    return result != 0 ? 1 : 0;
}

}  // namespace zov
