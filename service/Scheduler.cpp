#include "service/Scheduler.h"

#include <vector>

#include "engine/IniFile.h"
#include "engine/ProgramFiles.h"
#include "engine/Schedule.h"
#include "engine/SystemLog.h"
#include "platform/Clock.h"
#include "service/RunQueue.h"
#include "service/RunState.h"

namespace zov {

Scheduler::Scheduler(RunQueue& queue) : queue_(queue) { store_.SetFilePath(TaskDbPath()); }

int Scheduler::RunPass() {
    // The day is started before the pass looks at it, with the time read first: a pass never queues a
    // time of the new day into the sections of the old one, where the next reset would forget it.
    const std::time_t now = Now();
    ResetDailySections();
    if (IniFile(ConfigIniPath()).Read("switch", "SYSTEM") == "OFF") {
        queue_.Clear();
        return 0;
    }
    store_.Load();
    int queued = 0;
    std::vector<TaskInfo> due;
    for (const std::string& record : store_.GetRecords()) {
        store_.AddDueTask(record, due, true, now);
        for (const TaskInfo& task : due) {
            if (!IsDueToday(task, now) || !queue_.Enqueue(task)) continue;
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
