#include "engine/tasks/RunStart.h"

#include <string>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/Schedule.h"
#include "platform/Clock.h"

namespace zov {
namespace {

constexpr const char* kHandRunLockName = "handruns.lock";

bool TimeStarted(const ini::Values& values, const std::string& key, const std::string& time) {
    for (const char* section : {kRunningSection, kSucceededSection, kFailedSection}) {
        if (ListHasWord(values.Get(section, key), time)) return true;
    }
    return false;
}

// True while some hand run holds its lock. A lock that cannot be probed counts as held, so that a mark is
// never taken for stale by mistake.
bool HandRunsLive() {
    FileLock probe = FileLock::TryAcquire(HandRunLockPath(), FileLock::Mode::Exclusive);
    return !probe.held();
}

// The scheduled time of the task at the minute of now, "" when it has none then.
std::string DueTime(const TaskInfo& task, std::time_t now) {
    if (!IsDueToday(task, now)) return "";
    const std::string minute = FormatLocalTime(now, "%H:%M");
    for (const std::string& time : TimeItems(task.times)) {
        if (time == minute) return time;
    }
    return "";
}

}  // namespace

bool IsHandRunMark(const std::string& value) { return ListHasWord(value, kHandRunMark); }

std::string HandRunLockPath() { return RunFolder() + kHandRunLockName; }

RunStart StartScheduledRun(int id, const std::string& time) {
    const std::string key = RunStateKey(id);
    RunStart result = RunStart::Started;
    const bool written = IniFile(TempIniPath()).UpdateValues([&](ini::Values& values) {
        if (TimeStarted(values, key, time)) {
            result = RunStart::Busy;
        } else if (IsHandRunMark(values.Get(kTempTasksSection, std::to_string(id))) && HandRunsLive()) {
            result = RunStart::ByHand;
        } else {
            values.Set(kRunningSection, key, ListWithWord(values.Get(kRunningSection, key), time));
            return true;
        }
        return false;
    });
    return written ? result : RunStart::NotWritten;
}

HandRun::HandRun(const TaskInfo& task, std::time_t now) : id_(task.id) {
    lock_ = FileLock::Acquire(HandRunLockPath(), FileLock::Mode::Shared);
    if (!lock_.held()) return;
    const std::string key = RunStateKey(id_);
    const std::string mark = std::to_string(id_);
    const std::string due = DueTime(task, now);
    RunStart result = RunStart::Started;
    const bool written = IniFile(TempIniPath()).UpdateValues([&](ini::Values& values) {
        if (IsHandRunMark(values.Get(kTempTasksSection, mark)) || !values.Get(kRunningSection, key).empty()) {
            result = RunStart::Busy;
            return false;
        }
        values.Set(kTempTasksSection, mark, kHandRunMark);
        if (!due.empty() && !TimeStarted(values, key, due)) {
            values.Set(kSucceededSection, key, ListWithWord(values.Get(kSucceededSection, key), due));
            takenTime_ = due;
        }
        return true;
    });
    state_ = written ? result : RunStart::NotWritten;
    if (state_ != RunStart::Started) {
        takenTime_.clear();
        lock_.Release();
    }
}

bool HandRun::Finish(bool succeeded) {
    if (state_ != RunStart::Started || finished_) return true;
    finished_ = true;
    const std::string key = RunStateKey(id_);
    const bool written = IniFile(TempIniPath()).UpdateValues([&](ini::Values& values) {
        values.Set(kTempTasksSection, std::to_string(id_), succeeded ? "" : kHandRunFailed);
        if (!succeeded && !takenTime_.empty()) {
            values.Set(kSucceededSection, key,
                       ListWithoutWord(values.Get(kSucceededSection, key), takenTime_));
            values.Set(kFailedSection, key, ListWithWord(values.Get(kFailedSection, key), takenTime_));
        }
        return true;
    });
    lock_.Release();
    return written;
}

}  // namespace zov
