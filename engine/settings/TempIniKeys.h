#pragma once

#include <string>

// The run state in temp.ini: key "TIME_<id>" of each daily section holds the blank-separated "HH:MM" times
// of today in that state; key "DAY" of each section says which day ("%Y%m%d") it belongs to.
namespace zov {

inline constexpr const char* kRunningSection = "RUNNING";
inline constexpr const char* kSucceededSection = "SUCCEED";
inline constexpr const char* kFailedSection = "FAILED";
inline constexpr const char* kTempTasksSection = "TEMPTASKS";
inline constexpr const char* kDayKey = "DAY";
inline constexpr const char* kDayFormat = "%Y%m%d";

// Where a running file job keeps its start time (kRunStartFormat) under the task id ("%d"); the key goes
// when the job has written its record.
inline constexpr const char* kCurrentTaskSection = "CURTASK";
inline constexpr const char* kRunStartFormat = "%Y-%m-%d %H:%M:%S";

// Where a hand run keeps, under the task id while it runs, its start (seconds since the epoch) and the
// scheduled time it took over, blank-separated.
inline constexpr const char* kHandRunSection = "HANDRUN";

// "TIME_<id>".
inline std::string RunStateKey(int taskId) { return "TIME_" + std::to_string(taskId); }

}  // namespace zov
