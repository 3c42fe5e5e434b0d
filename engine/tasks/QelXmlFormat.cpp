#include <algorithm>
#include <limits>
#include <string>

#include "engine/tasks/QelXml.h"

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

// Characters no stored value may hold: '<' and '>' would open or close a tag, a NUL byte would end the
// whole store text when it is read, losing every later record.
constexpr std::string_view kUnstorable{"<>\0", 3};

// A value the reader gets back unchanged: none of kUnstorable, and not the marker that ends a record.
bool IsStorable(std::string_view value) {
    return value.find_first_of(kUnstorable) == std::string_view::npos &&
           value.find(kRecordMarker) == std::string_view::npos;
}

bool IsStorable(const TaskInfo& task) {
    for (const std::string* name : {&task.name, &task.source, &task.dest}) {
        if (!IsStorable(*name) || name->find_first_of(kNameForbidden) != std::string::npos) return false;
    }
    const std::string items = JoinItems(task.filter.extensions);
    for (const std::string* value : {&task.password, &task.rootPassword, &task.database, &task.instance,
                                     &task.serviceName, &task.times, &items}) {
        if (!IsStorable(*value)) return false;
    }
    return true;
}

}  // namespace

std::string CQelXML::FormatTask(TaskInfo& task, bool newId) const {
    std::lock_guard lock(mutex_);
    return FormatTaskLocked(task, newId);
}

std::string CQelXML::FormatTaskLocked(TaskInfo& task, bool newId) const {
    std::string record;
    if (newId) {
        const int highest = MaxTaskIdLocked();
        // No id is left above the highest one.
        if (highest == std::numeric_limits<int>::max()) return "";
        task.id = std::max(task.id, highest + 1);
        record = "\n";
        AppendLine(record, "ID", task.id);
    }
    AppendLine(record, "NAME", task.name.empty() ? "Task_" + std::to_string(task.id) : task.name);
    AppendLine(record, "DELBAD", task.delBad ? 1 : 0);

    if (task.flags < 1 || task.flags > 63) task.flags = kTaskFile | kTaskCompress;
    if (!IsComplete(task) || !IsStorable(task)) return "";
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

    // The schedule is kept while scheduled runs are off, so switching them off and on loses nothing.
    if (task.period < kDaily || task.period > kMonthly) task.period = kDaily;
    AppendLine(record, "DFLAG", task.period);
    AppendLine(record, "DAYS", DaysToText(task.days));
    if (task.times.empty()) task.times = "01:00";
    AppendLine(record, "TIME", task.times);

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
