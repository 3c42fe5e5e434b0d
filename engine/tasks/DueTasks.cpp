#include "engine/tasks/DueTasks.h"

#include "engine/tasks/Schedule.h"
#include "engine/tasks/TaskRecordReader.h"
#include "engine/tasks/TaskRecordTags.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"

namespace zov {

bool AddDueTask(const std::string& record, std::vector<TaskInfo>& list, bool clearFirst, std::time_t when) {
    if (clearFirst) list.clear();
    if (record.empty()) return false;
    // A task whose scheduled runs are off keeps its schedule, and is never due.
    if ((DecimalValue(TagValue(record, "FLAG")) & kTaskScheduled) == 0) return false;

    const std::string times = TagValue(record, "TIME");
    if (!times.empty()) {
        const std::string now = FormatLocalTime(when, "%H:%M");
        bool due = false;
        for (const std::string& time : TimeItems(times)) {
            if (time != now) continue;
            due = true;
            std::string single = record;
            ReplaceBetween(single, time, "<TIME>", "</TIME>");
            TaskInfo task;
            if (ParseRecord(single, task)) list.push_back(std::move(task));
        }
        return due;
    }
    if (TagValue(record, "PERIOD").empty()) return false;
    TaskInfo task;
    if (ParseRecord(record, task)) list.push_back(std::move(task));
    return true;
}

std::string NeverDueReason(const std::string& record, const TaskInfo& task) {
    if (!task.HasFlag(kTaskScheduled)) return "";
    const std::vector<std::string> items = AllTimeItems(TagValue(record, "TIME"));
    if (items.empty()) return "未设置备份时间";
    std::vector<std::string> invalid = items;
    std::erase_if(invalid, [](const std::string& item) { return IsClockTime(item); });
    if (!invalid.empty()) return BadTimesText(invalid);
    constexpr unsigned long kWeekBits = 0x7F;
    if (task.period == kWeekly && (task.days.to_ulong() & kWeekBits) == 0) {
        return "设置为每周备份，但未指定具体备份日期";
    }
    if (task.period == kMonthly && task.days.none()) return "设置为每月备份，但未指定具体备份日期";
    return "";
}

std::vector<TaskInfo> DueTasks(const std::vector<std::string>& records, std::time_t when) {
    std::vector<TaskInfo> due;
    for (const std::string& record : records) AddDueTask(record, due, false, when);
    return due;
}

}  // namespace zov
