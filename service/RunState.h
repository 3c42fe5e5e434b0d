#pragma once

#include <ctime>
#include <string>

#include "engine/tasks/TaskInfo.h"
#include "platform/Clock.h"

// The run state of scheduled times in temp.ini: key "TIME_<id>" of each section holds the blank-separated
// "HH:MM" times of today in that state.
namespace zov {

inline constexpr const char* kRunningSection = "RUNNING";
inline constexpr const char* kSucceededSection = "SUCCEED";
inline constexpr const char* kFailedSection = "FAILED";
inline constexpr const char* kTempTasksSection = "TEMPTASKS";
// Key of the day ("%Y%m%d") each daily section belongs to.
inline constexpr const char* kDayKey = "DAY";
inline constexpr const char* kDayFormat = "%Y%m%d";

// "TIME_<id>".
std::string RunStateKey(int taskId);

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
