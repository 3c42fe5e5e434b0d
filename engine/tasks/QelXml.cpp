#include "engine/tasks/QelXml.h"

#include <algorithm>
#include <optional>

#include "engine/tasks/DueTasks.h"
#include "engine/tasks/Schedule.h"
#include "engine/tasks/TaskRecordReader.h"
#include "engine/tasks/TaskRecordWriter.h"
#include "engine/tasks/TaskRunState.h"
#include "engine/tasks/TaskStoreLoadReport.h"
#include "platform/Clock.h"

namespace zov {

void CQelXML::SetClampKeepDays(bool clamp) {
    std::lock_guard lock(mutex_);
    clampKeepDays_ = clamp;
}

void CQelXML::SetFilePath(const std::string& path) {
    std::lock_guard lock(mutex_);
    filePath_ = path;
    pathSet_ = true;
}

bool CQelXML::Load() {
    std::lock_guard lock(mutex_);
    if (!pathSet_) {
        loaded_ = false;
        unsaved_ = false;
        text_.clear();
        records_.clear();
        return false;
    }
    FileVersion version;
    std::string why;
    loaded_ = ReadTaskStore(filePath_, text_, version, why);
    unsaved_ = false;
    records_ = SplitRecords(text_);
    ReportTaskStoreLoad(filePath_, version, why, records_);
    return loaded_;
}

bool CQelXML::Save() {
    std::lock_guard lock(mutex_);
    return SaveLocked();
}

bool CQelXML::SaveLocked() {
    if (!loaded_ || !WriteTaskStore(filePath_, text_)) return false;
    unsaved_ = false;
    return true;
}

bool CQelXML::IsLoaded() const {
    std::lock_guard lock(mutex_);
    return loaded_;
}

bool CQelXML::HasUnsavedChanges() const {
    std::lock_guard lock(mutex_);
    return unsaved_;
}

std::vector<std::string> CQelXML::GetRecords() const {
    std::lock_guard lock(mutex_);
    return records_;
}

int CQelXML::GetMaxTaskId() const {
    std::lock_guard lock(mutex_);
    return MaxTaskIdLocked();
}

int CQelXML::MaxTaskIdLocked() const {
    if (!loaded_) return -1;
    int highest = 0;
    for (const std::string& record : records_)
        highest = std::max(highest, DecimalValue(TagValue(record, "ID")));
    return highest;
}

bool CQelXML::GetTaskById(int id, TaskInfo& task) const {
    std::lock_guard lock(mutex_);
    return FindTaskLocked(id, task);
}

bool CQelXML::FindTaskLocked(int id, TaskInfo& task) const {
    for (const std::string& record : records_) {
        if (RecordHasId(record, id)) return ParseRecord(record, task);
    }
    return false;
}

bool CQelXML::ChangeTask(int type, TaskInfo& task, bool save, bool markPastTimes) {
    std::lock_guard lock(mutex_);
    return ChangeTaskLocked(type, task, save, markPastTimes);
}

bool CQelXML::ChangeTaskLocked(int type, TaskInfo& task, bool save, bool markPastTimes) {
    if (!loaded_) return false;
    CQelLog log = StartChangeLog(type, task);
    const bool formats = type == kChangeAdd || type == kChangeModify;
    const std::string formatted = formats ? FormatTaskLocked(task, type == kChangeAdd) : "";
    // An incomplete task changes nothing.
    bool ok = !formats || !formatted.empty();
    if (ok) {
        std::vector<std::string> records = records_;
        ApplyChange(type, task.id, formatted, records);
        if (type == kChangeAdd) ForgetRunState(task.id);
        if (markPastTimes) MarkPastTimes(task);
        text_ = WithRecords(std::move(text_), records);
        records_ = SplitRecords(text_);
        unsaved_ = true;
        ok = !save || SaveLocked();
    }
    log.SetTaskId(task.id);
    log.SetResult(ok ? kLogSucceeded : kLogFailed);
    log.Write();
    return ok;
}

bool CQelXML::EnableSchedule(int id) { return SetScheduled(id, true); }

bool CQelXML::DisableSchedule(int id) { return SetScheduled(id, false); }

bool CQelXML::SetScheduled(int id, bool on) {
    std::lock_guard lock(mutex_);
    TaskInfo task;
    if (!FindTaskLocked(id, task)) return false;
    task.flags = on ? (task.flags | kTaskScheduled) : (task.flags & ~kTaskScheduled);
    return ChangeTaskLocked(kChangeModify, task, true, false);
}

void CQelXML::GetAllTasks(std::vector<TaskInfo>& out) const {
    std::lock_guard lock(mutex_);
    out.clear();
    for (const std::string& record : records_) {
        TaskInfo task;
        if (ParseRecord(record, task)) out.push_back(std::move(task));
    }
}

void CQelXML::GetDueTasks(std::vector<TaskInfo>& out, std::time_t when) const {
    std::lock_guard lock(mutex_);
    out = DueTasks(records_, when);
}

void CQelXML::GetDueTasks(std::vector<TaskInfo>& out) const { GetDueTasks(out, Now()); }

bool CQelXML::AddDueTask(const std::string& record, std::vector<TaskInfo>& list, bool clearFirst,
                         std::time_t when) {
    return zov::AddDueTask(record, list, clearFirst, when);
}

int CQelXML::ValidateTask(const TaskInfo& task, std::string& message) const {
    std::lock_guard lock(mutex_);
    return zov::ValidateTask(task, records_, loaded_, Now(), message);
}

std::vector<std::string> CQelXML::TimeItems(std::string_view times) { return zov::TimeItems(times); }

bool CQelXML::ParseTask(const std::string& record, TaskInfo& task) { return ParseRecord(record, task); }

bool CQelXML::ParseTask(const std::string& record, TaskInfo& task, std::string& reason) {
    return ParseRecord(record, task, reason);
}

std::string CQelXML::FormatTask(TaskInfo& task, bool newId) const {
    std::lock_guard lock(mutex_);
    return FormatTaskLocked(task, newId);
}

std::string CQelXML::FormatTaskLocked(TaskInfo& task, bool newId) const {
    std::string record;
    const std::optional<int> newIdAbove = newId ? std::optional(MaxTaskIdLocked()) : std::nullopt;
    return FormatRecord(task, newIdAbove, clampKeepDays_, record) ? record : "";
}

std::vector<std::string> CQelXML::SplitRecords(std::string_view text) { return zov::SplitRecords(text); }

std::string CQelXML::TagValue(std::string_view record, std::string_view tag) {
    return zov::TagValue(record, tag);
}

int CQelXML::DecimalValue(std::string_view value) { return zov::DecimalValue(value); }

bool CQelXML::RecordHasId(std::string_view record, int id) { return zov::RecordHasId(record, id); }

}  // namespace zov
