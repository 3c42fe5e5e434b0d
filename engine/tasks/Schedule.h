#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tasks/TaskInfo.h"

// The schedule rules of a task, shared by the service's scheduler and the management program.
namespace zov {

// 0 Monday .. 6 Sunday for a date of the Gregorian calendar (month 1..12).
int WeekdayIndex(int year, int month, int day);

// The length of a time of day "HH:MM".
inline constexpr std::size_t kClockTimeLength = 5;

// True when text is one time of day "HH:MM" (00:00 .. 23:59).
bool IsClockTime(std::string_view text);

// The items of a times text: split at blanks, ',' and "，".
std::vector<std::string> AllTimeItems(std::string_view times);
// The "HH:MM" items of a times text: AllTimeItems without the items not kClockTimeLength bytes long.
std::vector<std::string> TimeItems(std::string_view times);

// Why the service does not run the task: "" when its storage folder, and the source of a file task, are
// absolute paths and the storage folder holds none of "<>|?"; otherwise the reason, naming the folder.
std::string UnusableFolderReason(const TaskInfo& task);

// True when the task's scheduled runs are on, its folders are usable (UnusableFolderReason) and its period
// selects the day of when (daily; weekly by weekday bit; monthly by day-of-month bit).
bool IsDueToday(const TaskInfo& task, std::time_t when);

// Cleans a typed times field: full-width commas and blanks become ',', "：" becomes ':'; keeps each item
// made only of digits and ':' that normalises to "HH:MM", once; joined by ','.
std::string CheckTimeList(std::string text);
// The items of a typed times field that name no time of day, as typed, in their order: those CheckTimeList
// drops other than repeats.
std::vector<std::string> BadTimeItems(std::string text);
// What is said of times that name no time of day: "备份时间“a”“b”无效".
std::string BadTimesText(const std::vector<std::string>& items);

// The date folder text handed to a database run: "" for a file task or an id of 0 or less, else the date
// of when as "%Y-%m-%d".
std::string GetDateText(const TaskInfo& task, std::time_t when);

}  // namespace zov
