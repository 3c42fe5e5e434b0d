#include <algorithm>
#include <string>
#include <vector>

#include "engine/tasks/QelXml.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"

namespace zov {

std::vector<std::string> CQelXML::TimeItems(std::string_view times) {
    std::string text(times);
    constexpr std::string_view kFullWidthComma = "，";
    for (std::size_t at = text.find(kFullWidthComma); at != std::string::npos;
         at = text.find(kFullWidthComma, at)) {
        text.replace(at, kFullWidthComma.size(), " ");
    }
    std::replace(text.begin(), text.end(), ',', ' ');
    std::vector<std::string> items;
    SplitToList(items, text, ' ', true, 1);
    std::erase_if(items, [](const std::string& item) { return item.size() != 5; });
    return items;
}

bool CQelXML::AddDueTask(const std::string& record, std::vector<TaskInfo>& list, bool clearFirst,
                         std::time_t when) {
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
            if (ParseTask(single, task)) list.push_back(std::move(task));
        }
        return due;
    }
    if (TagValue(record, "PERIOD").empty()) return false;
    TaskInfo task;
    if (ParseTask(record, task)) list.push_back(std::move(task));
    return true;
}

void CQelXML::GetDueTasks(std::vector<TaskInfo>& out, std::time_t when) const {
    std::lock_guard lock(mutex_);
    DueTasksLocked(out, when);
}

void CQelXML::GetDueTasks(std::vector<TaskInfo>& out) const { GetDueTasks(out, Now()); }

void CQelXML::DueTasksLocked(std::vector<TaskInfo>& out) const { DueTasksLocked(out, Now()); }

void CQelXML::DueTasksLocked(std::vector<TaskInfo>& out, std::time_t when) const {
    out.clear();
    for (const std::string& record : records_) AddDueTask(record, out, false, when);
}

void CQelXML::GetAllTasks(std::vector<TaskInfo>& out) const {
    std::lock_guard lock(mutex_);
    out.clear();
    for (const std::string& record : records_) {
        TaskInfo task;
        if (ParseTask(record, task)) out.push_back(std::move(task));
    }
}

}  // namespace zov
