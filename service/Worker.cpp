#include "service/Worker.h"

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/logs/StateLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemError.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"
#include "service/RunQueue.h"
#include "service/RunState.h"

namespace zov {

TaskRun BackupTaskRun(CBackup& backup) {
    return [&backup](const TaskInfo& task, const std::string& rarPath, std::string& message,
                     const JobContext& job) { return backup.RunTask(task, rarPath, message, job) != 0; };
}

bool Worker::Step(const std::stop_token& stop) {
    const std::time_t now = Now();
    std::optional<TaskInfo> task = queue_.TakeRunnable(now);
    if (!task) return false;
    const std::string startDay = FormatLocalTime(now, kDayFormat);
    std::string message;
    StateLogSink status(ProgramDir());
    UnattendedAsker nobody;
    const bool succeeded = run_(*task, GetRarPath(), message, JobContext{status, nobody, stop});
    // A run that failed after a stop was cut short by it: its RUNNING mark is left to the recovery at the
    // next start. A run that succeeded finished its output and its record, so it is filed.
    if (succeeded || !stop.stop_requested()) Record(*task, succeeded, startDay);
    return true;
}

void Worker::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        if (!Step(stop)) {
            queue_.WaitForEntry(stop);
            continue;
        }
        SleepUnlessStopped(stop, std::chrono::milliseconds(1000));
    }
}

void Worker::Record(const TaskInfo& task, bool succeeded, const std::string& startDay) {
    const IniFile temp(TempIniPath());
    const std::string key = RunStateKey(task.id);
    const std::string time = QueuedTime(task);
    bool written = true;
    if (FormatLocalTime(Now(), kDayFormat) != startDay) {
        const std::string runningDay = temp.Read(kDayKey, kRunningSection);
        if (runningDay.empty() || runningDay == startDay) {
            written = temp.RemoveWord(key, kRunningSection, time);
        }
    } else if (succeeded) {
        // The "RUNNING" mark goes only once the result is filed: a time is never left in no section.
        written = temp.AddWord(key, kSucceededSection, time) && temp.RemoveWord(key, kRunningSection, time) &&
                  temp.RemoveWord(key, kFailedSection, time);
    } else {
        written = temp.AddWord(key, kFailedSection, time) && temp.RemoveWord(key, kRunningSection, time);
    }
    if (!written) {
        LogSystemError(ScheduledRunText(task) + (succeeded ? "成功" : "失败") + "，但无法在 " + temp.path() +
                       " 中记录结果");
    }
}

}  // namespace zov
