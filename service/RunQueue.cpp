#include "service/RunQueue.h"

#include <algorithm>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemError.h"
#include "engine/settings/SystemLog.h"
#include "engine/tasks/RunStart.h"
#include "engine/tasks/Schedule.h"
#include "platform/Clock.h"
#include "service/RunState.h"

namespace zov {

bool RunQueue::Enqueue(const TaskInfo& task, std::time_t when) {
    if (!task.HasFlag(kTaskScheduled)) return false;
    const std::string time = QueuedTime(task);
    if (!IsClockTime(time)) return false;
    const IniFile temp(TempIniPath());
    const std::string key = RunStateKey(task.id);
    // Under the lock a taken entry is already marked "RUNNING", and a finished run files its result
    // before it removes that mark: reading "RUNNING" first never misses a run of this time.
    std::lock_guard lock(mutex_);
    if (started_.contains({FormatLocalTime(when, kDayFormat), task.id, time})) return false;
    for (const char* section : {kRunningSection, kSucceededSection, kFailedSection}) {
        if (temp.HasWord(key, section, time)) return false;
    }
    const bool queued = std::any_of(tasks_.begin(), tasks_.end(), [&](const TaskInfo& entry) {
        return entry.id == task.id && QueuedTime(entry) == time;
    });
    if (queued) return false;
    tasks_.push_back(task);
    queued_.notify_all();
    return true;
}

bool RunQueue::WaitForEntry(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    return queued_.wait(lock, stop, [this] { return !tasks_.empty(); });
}

std::optional<TaskInfo> RunQueue::TakeRunnable(std::time_t now) {
    const std::string day = FormatLocalTime(now, kDayFormat);
    const std::string nowTime = FormatLocalTime(now, "%H:%M");
    std::lock_guard lock(mutex_);
    std::erase_if(started_, [&](const StartedRun& run) { return std::get<0>(run) < day; });
    while (!tasks_.empty()) {
        TaskInfo task = std::move(tasks_.front());
        tasks_.pop_front();
        WriteSystemLog(TaskKindText(task) + "移出任务列表", true, true);
        const std::string time = QueuedTime(task);
        if (nowTime < time || started_.contains({day, task.id, time})) continue;
        started_.insert({day, task.id, time});
        switch (StartScheduledRun(task.id, time)) {
            case RunStart::Started:
                return task;
            case RunStart::Busy:
                break;
            case RunStart::ByHand:
                WriteSystemLog(ScheduledRunText(task) + "未运行：管理程序正在执行该任务", true, true);
                break;
            case RunStart::NotWritten:
                LogSystemError(ScheduledRunText(task) + "未运行：无法在 " + TempIniPath() +
                               " 中记录运行状态");
                break;
        }
    }
    return std::nullopt;
}

void RunQueue::Clear() {
    std::lock_guard lock(mutex_);
    tasks_.clear();
}

std::size_t RunQueue::Size() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

}  // namespace zov
