#pragma once

#include <ctime>
#include <string>

#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/TaskInfo.h"
#include "platform/Clock.h"

// The service's side of the run state of scheduled times in temp.ini (keys: TempIniKeys.h).
namespace zov {

// The time a queued task was queued for: its times text normalised to "HH:MM".
std::string QueuedTime(const TaskInfo& task);

// "文件备份任务", "MSSQL数据库备份任务" or "MYSQL数据库备份任务": the kind of a task in debug-log lines.
std::string TaskKindText(const TaskInfo& task);

// "任务<name>（ID <id>）<time>": a queued task and its time in log lines.
std::string ScheduledRunText(const TaskInfo& task);

// Starts a new day in each daily section of temp.ini ("SUCCEED", "RUNNING", "FAILED", "TEMPTASKS") whose
// day is earlier than the day of when. False when such a section could not be written.
bool ResetDailySections(std::time_t when = Now());

}  // namespace zov
