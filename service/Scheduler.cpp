#include "service/Scheduler.h"

#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemError.h"
#include "engine/settings/SystemLog.h"
#include "engine/tasks/Schedule.h"
#include "platform/Clock.h"
#include "service/RunQueue.h"
#include "service/RunState.h"
#include "service/SharedTaskStore.h"

namespace zov {

Scheduler::Scheduler(RunQueue& queue, SharedTaskStore& store) : queue_(queue), store_(store) {}

int Scheduler::RunPass() {
    // The day is started before the pass looks at it: a pass never queues a time of the new day into the
    // sections of the old one, where the next reset would forget it.
    const std::time_t now = Now();
    StartDay(now);
    std::set<std::string> refused;
    int queued = 0;
    if (IniFile(ConfigIniPath()).Read("switch", "SYSTEM") == "OFF") {
        queue_.Clear();
    } else {
        queued = QueueDueTasks(now, refused);
    }
    for (const std::string& text : refused) {
        if (!refused_.contains(text)) WriteSystemLog(text);
    }
    refused_ = std::move(refused);
    return queued;
}

void Scheduler::StartDay(std::time_t now) {
    const bool failed = !ResetDailySections(now);
    if (failed && !resetFailed_) LogSystemError("无法在 " + TempIniPath() + " 中开始新一天的运行状态");
    resetFailed_ = failed;
}

int Scheduler::QueueDueTasks(std::time_t now, std::set<std::string>& refused) {
    store_.Refresh();
    int queued = 0;
    std::vector<TaskInfo> due;
    for (const std::string& record : store_.store().GetRecords()) {
        CQelXML::AddDueTask(record, due, true, now);
        for (const TaskInfo& task : due) {
            if (!IsDueToday(task, now)) {
                const std::string reason = UnusableFolderReason(task);
                if (!reason.empty()) refused.insert(ScheduledRunText(task) + "未运行：" + reason);
                continue;
            }
            if (!queue_.Enqueue(task, now)) continue;
            WriteSystemLog(TaskKindText(task) + "加入任务列表", true, true);
            ++queued;
        }
    }
    return queued;
}

void Scheduler::Run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        RunPass();
        if (!SleepUnlessStopped(stop, std::chrono::milliseconds(10000))) break;
    }
}

}  // namespace zov
