#include "engine/restore/RestoreRecord.h"

namespace zov {

CQelLog RestoreRecord(int category, int type, int taskId, const std::string& taskName,
                      const std::string& item) {
    CQelLog record;
    record.SetCategory(category);
    record.SetType(type);
    record.SetTaskId(taskId);
    record.SetTaskName(taskName);
    record.SetItem(item);
    record.Start();
    return record;
}

CQelLog RestoreRecord(int taskId, const std::string& item) {
    return RestoreRecord(kLogFiles, kLogTypeRestore, taskId, "-", item);
}

void WriteRestoreRecord(CQelLog& record, const std::string& target, bool succeeded,
                        const std::string& message) {
    record.SetTarget(target);
    record.SetResult(succeeded ? kLogSucceeded : kLogFailed);
    record.SetMessage(succeeded ? "" : message);
    record.Write();
}

}  // namespace zov
