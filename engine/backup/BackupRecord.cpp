#include "engine/backup/BackupRecord.h"

#include "engine/backup/Backup.h"

namespace zov {
namespace {

std::string OrUnset(const std::string& text) { return text.empty() ? "---" : text; }

}  // namespace

CQelLog TaskRecord(const TaskInfo& task) {
    CQelLog record;
    if (task.IsFileTask()) {
        record.SetCategory(kLogFiles);
        record.SetType(task.diff ? kLogTypeDiff : kLogTypeFull);
        record.SetItem(OrUnset(task.source));
    } else {
        const bool sqlServer = task.sqlType == kSqlServer;
        record.SetCategory(sqlServer ? kLogSqlServer : kLogMySql);
        record.SetType(sqlServer ? kLogTypeSqlServer : kLogTypeMySql);
        record.SetItem(OrUnset(task.database));
    }
    record.SetTaskId(task.id);
    record.SetTaskName(task.name);
    record.Start();
    return record;
}

void WriteFailedRecord(const TaskInfo& task, const std::string& target, const std::string& message) {
    CQelLog record = TaskRecord(task);
    record.SetTarget(OrUnset(target));
    record.SetResult(kLogFailed);
    record.SetMessage(message);
    record.Write();
}

}  // namespace zov
