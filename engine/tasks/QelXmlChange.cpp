#include <algorithm>
#include <string>
#include <vector>

#include "engine/logs/QelLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"

namespace zov {
namespace {

std::string OrDash(const std::string& text) { return text.empty() ? "---" : text; }

// Column 6 of the log record: what the task backs up.
std::string LogItem(const TaskInfo& task) {
    if (task.IsFileTask()) return OrDash(task.source);
    return OrDash(task.sqlType == kMySql ? task.serviceName : task.database);
}

std::string TimeKey(int id) { return "TIME_" + std::to_string(id); }

// A new task starts without run state left over from an earlier task of the same id.
void ForgetRunState(int id) {
    const IniFile temp(TempIniPath());
    for (const char* section : {"SUCCEED", "RUNNING", "FAILED"}) temp.Write(TimeKey(id), section, "");
}

// Notes the times of day that have already passed today as done, so they do not run any more today.
void MarkPastTimes(const TaskInfo& task) {
    const std::string now = FormatLocalTime(Now(), "%H:%M");
    const IniFile temp(TempIniPath());
    for (const std::string& time : CQelXML::TimeItems(task.times)) {
        if (now > time) temp.AddWord(TimeKey(task.id), "SUCCEED", time);
    }
}

// Applies a change to the records: formatted is the new record (add) or the new text after the head
// (modify).
void ApplyChange(int type, int id, const std::string& formatted, std::vector<std::string>& records) {
    if (type == kChangeAdd) {
        records.push_back(formatted);
    } else if (type == kChangeDelete) {
        std::erase_if(records, [id](const std::string& record) { return CQelXML::RecordHasId(record, id); });
    } else if (type == kChangeModify) {
        for (std::string& record : records) {
            if (!CQelXML::RecordHasId(record, id)) continue;
            const std::size_t headEnd = record.find(kRecordHeadEnd);
            if (headEnd != std::string::npos)
                record = record.substr(0, headEnd + kRecordHeadEnd.size()) + formatted;
        }
    }
}

}  // namespace

bool CQelXML::ChangeTask(int type, TaskInfo& task, bool save, bool markPastTimes) {
    std::lock_guard lock(mutex_);
    return ChangeTaskLocked(type, task, save, markPastTimes);
}

bool CQelXML::ChangeTaskLocked(int type, TaskInfo& task, bool save, bool markPastTimes) {
    if (!loaded_) return false;
    CQelLog log;
    log.SetTaskName(task.name);
    log.Start();
    log.SetCategory(kLogInterface);
    log.SetType(type);
    log.SetItem(LogItem(task));
    log.SetTarget(OrDash(task.dest));

    const bool formats = type == kChangeAdd || type == kChangeModify;
    const std::string formatted = formats ? FormatTaskLocked(task, type == kChangeAdd) : "";
    // An incomplete task changes nothing.
    bool ok = !formats || !formatted.empty();
    if (ok) {
        std::vector<std::string> records = records_;
        ApplyChange(type, task.id, formatted, records);
        if (type == kChangeAdd) ForgetRunState(task.id);
        if (markPastTimes) MarkPastTimes(task);
        ReplaceRecords(std::move(records));
        ok = !save || SaveLocked();
    }
    log.SetTaskId(task.id);
    log.SetResult(ok ? kLogSucceeded : kLogFailed);
    log.Write();
    return ok;
}

void CQelXML::ReplaceRecords(std::vector<std::string> records) {
    text_ = WithRecords(std::move(text_), records);
    records_ = SplitRecords(text_);
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

}  // namespace zov
