#include "engine/tasks/TaskRunState.h"

#include <string>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/Schedule.h"
#include "platform/Clock.h"

namespace zov {
void ForgetRunState(int id) {
    const IniFile temp(TempIniPath());
    for (const char* section : {kSucceededSection, kRunningSection, kFailedSection}) {
        temp.Write(RunStateKey(id), section, "");
    }
}

void MarkPastTimes(const TaskInfo& task) {
    const std::string now = FormatLocalTime(Now(), "%H:%M");
    const IniFile temp(TempIniPath());
    for (const std::string& time : TimeItems(task.times)) {
        if (now > time) temp.AddWord(RunStateKey(task.id), kSucceededSection, time);
    }
}

}  // namespace zov
