#include "engine/restore/RestoreRecord.h"

namespace zov {

CQelLog RestoreRecord(int taskId, const std::string& item) {
    CQelLog record;
    record.SetCategory(kLogFiles);
    record.SetType(kLogTypeRestore);
    record.SetTaskId(taskId);
    record.SetTaskName("-");
    record.SetItem(item);
    record.Start();
    return record;
}

void WriteRestoreRecord(CQelLog& record, const std::string& target, bool succeeded,
                        const std::string& message) {
    record.SetTarget(target);
    record.SetResult(succeeded ? kLogSucceeded : kLogFailed);
    record.SetMessage(succeeded ? "" : message);
    record.Write();
}

}  // namespace zov
