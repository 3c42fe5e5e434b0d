#include "engine/tasks/TaskRunState.h"

#include <string>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/Schedule.h"
#include "platform/Clock.h"

namespace zov {
namespace {

constexpr const char* kSucceeded = "SUCCEED";

std::string TimeKey(int id) { return "TIME_" + std::to_string(id); }

}  // namespace

void ForgetRunState(int id) {
    const IniFile temp(TempIniPath());
    for (const char* section : {kSucceeded, "RUNNING", "FAILED"}) temp.Write(TimeKey(id), section, "");
}

void MarkPastTimes(const TaskInfo& task) {
    const std::string now = FormatLocalTime(Now(), "%H:%M");
    const IniFile temp(TempIniPath());
    for (const std::string& time : TimeItems(task.times)) {
        if (now > time) temp.AddWord(TimeKey(task.id), kSucceeded, time);
    }
}

}  // namespace zov
