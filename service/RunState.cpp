#include "service/RunState.h"

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonTime.h"

namespace zov {

std::string QueuedTime(const TaskInfo& task) {
    std::string time = task.times;
    NormalizeTimeText(time);
    return time;
}

std::string TaskKindText(const TaskInfo& task) {
    if (task.IsFileTask()) return "文件备份任务";
    return task.sqlType == kSqlServer ? "MSSQL数据库备份任务" : "MYSQL数据库备份任务";
}

std::string ScheduledRunText(const TaskInfo& task) {
    return "任务" + task.name + "（ID " + std::to_string(task.id) + "）" + QueuedTime(task);
}

bool ResetDailySections(std::time_t when) {
    const IniFile temp(TempIniPath());
    bool written = true;
    for (const char* section : {kSucceededSection, kRunningSection, kFailedSection, kTempTasksSection}) {
        // The day of when decides, so a pass that read the time once does not start tomorrow's sections
        // while it selects today's times.
        written = temp.ResetDailySection(section, when) && written;
    }
    return written;
}

}  // namespace zov
