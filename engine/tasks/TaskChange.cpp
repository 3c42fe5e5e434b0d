#include "engine/tasks/TaskChange.h"

#include "engine/tasks/TaskRecordTags.h"

namespace zov {
namespace {

std::string OrDash(const std::string& text) { return text.empty() ? "---" : text; }

// Column 6 of the log record: what the task backs up.
std::string LogItem(const TaskInfo& task) {
    if (task.IsFileTask()) return OrDash(task.source);
    return OrDash(task.sqlType == kMySql ? task.serviceName : task.database);
}

}  // namespace

CQelLog StartChangeLog(int type, const TaskInfo& task) {
    CQelLog log;
    log.SetTaskName(task.name);
    log.Start();
    log.SetCategory(kLogInterface);
    log.SetType(type);
    log.SetItem(LogItem(task));
    log.SetTarget(OrDash(task.dest));
    return log;
}

void ApplyChange(int type, int id, const std::string& formatted, std::vector<std::string>& records) {
    if (type == kChangeAdd) {
        records.push_back(formatted);
    } else if (type == kChangeDelete) {
        std::erase_if(records, [id](const std::string& record) { return RecordHasId(record, id); });
    } else if (type == kChangeModify) {
        for (std::string& record : records) {
            if (!RecordHasId(record, id)) continue;
            const std::size_t headEnd = record.find(kRecordHeadEnd);
            if (headEnd != std::string::npos)
                record = record.substr(0, headEnd + kRecordHeadEnd.size()) + formatted;
        }
    }
}

}  // namespace zov
