#include <algorithm>
#include <string>

#include "engine/QelXml.h"

namespace zov {
namespace {

void AppendLine(std::string& out, std::string_view tag, std::string_view value) {
    out.append("<").append(tag).append(">").append(value).append("</").append(tag).append(">\n");
}

void AppendLine(std::string& out, std::string_view tag, int value) {
    AppendLine(out, tag, std::to_string(value));
}

std::string JoinItems(const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        if (!joined.empty()) joined += '|';
        joined += item;
    }
    return joined;
}

bool IsComplete(const TaskInfo& task) {
    if (task.IsFileTask()) return !task.source.empty();
    return task.sqlType == kMySql || !task.database.empty();
}

}  // namespace

std::string CQelXML::FormatTask(TaskInfo& task, bool newId) const {
    std::lock_guard lock(mutex_);
    return FormatTaskLocked(task, newId);
}

std::string CQelXML::FormatTaskLocked(TaskInfo& task, bool newId) const {
    std::string record;
    if (newId) {
        task.id = std::max(task.id, MaxTaskIdLocked() + 1);
        record = "\n";
        AppendLine(record, "ID", task.id);
    }
    AppendLine(record, "NAME", task.name.empty() ? "Task_" + std::to_string(task.id) : task.name);
    AppendLine(record, "DELBAD", task.delBad ? 1 : 0);

    if (task.flags < 1 || task.flags > 63) task.flags = kTaskFile | kTaskCompress;
    if (!IsComplete(task)) return "";
    AppendLine(record, "FLAG", task.flags);

    const bool fileTask = task.IsFileTask();
    if (fileTask) {
        AppendLine(record, "DIFF", task.diff ? 1 : 0);
        if (task.diff) AppendLine(record, "BPERIOD", task.basePeriod);
        AppendLine(record, "EXTENSIONS", JoinItems(task.filter.extensions));
    }
    AppendLine(record, "SOURCE", task.source);
    AppendLine(record, "DEST", task.dest);

    if (task.HasFlag(kTaskCompress)) {
        if (fileTask) {
            AppendLine(record, "COMPRESS", task.compress ? 1 : 0);
            AppendLine(record, "PARTIAL", task.partial);
        }
        if (!task.password.empty()) AppendLine(record, "PWORD", task.password);
    }

    if (task.HasFlag(kTaskScheduled)) {
        if (task.period < kDaily || task.period > kMonthly) task.period = kDaily;
        AppendLine(record, "DFLAG", task.period);
        AppendLine(record, "DAYS", DaysToText(task.days));
        if (task.times.empty()) task.times = "01:00";
        AppendLine(record, "TIME", task.times);
    }

    if (!fileTask) {
        if (task.sqlType != kSqlServer && task.sqlType != kMySql) task.sqlType = kSqlServer;
        AppendLine(record, "SQLTYPE", task.sqlType);
        if (task.sqlType == kMySql) {
            AppendLine(record, "SRVNAME", task.serviceName);
        } else {
            AppendLine(record, "INSTANCE", task.instance);
        }
        AppendLine(record, "DATABASE", task.database);
        AppendLine(record, "ROOTPWD", task.rootPassword);
    }

    if (task.HasFlag(kTaskKeepDays) && task.keepDays != 0) {
        if (task.keepDays < 1) task.keepDays = 30;
        if (clampKeepDays_ && task.keepDays > 100) task.keepDays = 100;
        AppendLine(record, "SAVEDAYS", task.keepDays);
    }
    return record;
}

}  // namespace zov
