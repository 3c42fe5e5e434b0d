#include "engine/tasks/TaskRecordWriter.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/tasks/TaskRecordTags.h"
#include "engine/tasks/TaskStoreText.h"

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

bool FormatRecord(TaskInfo& task, std::optional<int> newIdAbove, bool clampKeepDays, std::string& record) {
    std::string text;
    if (newIdAbove) {
        if (*newIdAbove >= kMaxTaskId) return false;
        task.id = std::max(task.id, *newIdAbove + 1);
        text = "\n";
        AppendLine(text, "ID", task.id);
    }
    AppendLine(text, "NAME", task.name.empty() ? kUnnamedTaskPrefix + std::to_string(task.id) : task.name);
    AppendLine(text, "DELBAD", task.delBad ? 1 : 0);

    if (task.flags < 1 || task.flags > kTaskAllFlags) task.flags = kDefaultTaskFlags;
    if (!IsComplete(task) || !IsStorable(task)) return false;
    AppendLine(text, "FLAG", task.flags);

    const bool fileTask = task.IsFileTask();
    if (fileTask) {
        AppendLine(text, "DIFF", task.diff ? 1 : 0);
        if (task.diff) AppendLine(text, "BPERIOD", task.basePeriod);
        AppendLine(text, "EXTENSIONS", JoinItems(task.filter.extensions));
    }
    AppendLine(text, "SOURCE", task.source);
    AppendLine(text, "DEST", task.dest);

    if (task.HasFlag(kTaskCompress)) {
        if (fileTask) {
            AppendLine(text, "COMPRESS", task.compress ? 1 : 0);
            AppendLine(text, "PARTIAL", task.partial);
        }
        if (!task.password.empty()) AppendLine(text, "PWORD", task.password);
    }

    // The schedule is kept while scheduled runs are off, so switching them off and on loses nothing.
    if (task.period < kDaily || task.period > kMonthly) task.period = kDaily;
    AppendLine(text, "DFLAG", task.period);
    AppendLine(text, "DAYS", DaysToText(task.days));
    if (task.times.empty()) task.times = kDefaultRunTimes;
    AppendLine(text, "TIME", task.times);

    if (!fileTask) {
        if (task.sqlType != kSqlServer && task.sqlType != kMySql) task.sqlType = kSqlServer;
        AppendLine(text, "SQLTYPE", task.sqlType);
        if (task.sqlType == kMySql) {
            AppendLine(text, "SRVNAME", task.serviceName);
        } else {
            AppendLine(text, "INSTANCE", task.instance);
        }
        AppendLine(text, "DATABASE", task.database);
        AppendLine(text, "ROOTPWD", task.rootPassword);
    }

    if (task.HasFlag(kTaskKeepDays) && task.keepDays != 0) {
        if (task.keepDays < 1) task.keepDays = kDefaultKeepDays;
        if (clampKeepDays && task.keepDays > kMaxServiceKeepDays) task.keepDays = kMaxServiceKeepDays;
        AppendLine(text, "SAVEDAYS", task.keepDays);
    }
    record = std::move(text);
    return true;
}

}  // namespace zov
