#pragma once

#include <bitset>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "engine/filter/FilterSet.h"

namespace zov {

// Option bits of TaskInfo::flags (valid range 1..63).
enum TaskFlag : int32_t {
    kTaskFile = 0x01,           // file task; clear: database task of kind sqlType
    kTaskCompress = 0x02,       // compressed with the archiver; compress, partial and password apply
    kTaskScheduled = 0x04,      // scheduled runs on
    kTaskKeepDays = 0x08,       // backups older than keepDays are deleted
    kTaskFilter = 0x10,         // the name filter is used
    kTaskFilterInclude = 0x20,  // the filter takes only the listed items
};

// Every defined bit of flags: a stored value holding any other bit is refused when it is read.
inline constexpr int32_t kTaskAllFlags = 0x3F;
// The flags of a new task, and of a task written with flags outside 1..kTaskAllFlags.
inline constexpr int32_t kDefaultTaskFlags = kTaskFile | kTaskCompress;

enum SqlType : int32_t { kSqlServer = 1, kMySql = 2 };
enum SchedulePeriod : int32_t { kDaily = 1, kWeekly = 2, kMonthly = 3 };

// Weekly: bit 0 Monday .. bit 6 Sunday; monthly: bit d-1 for day d.
using DaySet = std::bitset<31>;

// basePeriod of a record that has none.
inline constexpr int32_t kBasePeriodUnset = -1;
// Database tasks always use volumes of this many MB.
inline constexpr int32_t kDatabaseVolumeMb = 2048;
// keepDays of a new task, and of a task written with keep-days on and a value below 1.
inline constexpr int32_t kDefaultKeepDays = 30;
// The highest task id: no task can be added once it is taken.
inline constexpr int32_t kMaxTaskId = std::numeric_limits<int32_t>::max();

// One backup task of any kind.
struct TaskInfo {
    int32_t id = 0;
    int32_t flags = kDefaultTaskFlags;
    bool diff = false;
    bool delBad = true;
    int32_t basePeriod = kBasePeriodUnset;
    std::string name;
    std::string source;
    std::string dest;
    int32_t sqlType = kSqlServer;
    std::string database;  // names joined by '|'; for MySQL "?????" means all databases
    std::string instance;
    std::string serviceName;
    bool compress = false;  // one job per direct sub-folder of the source
    int32_t partial = 0;    // volume size in MB, 0 = one archive
    std::string password;
    std::string rootPassword;
    int32_t period = kDaily;
    DaySet days;
    std::string times;  // "HH:MM" items separated by blanks, ',' or "，"
    int32_t keepDays = kDefaultKeepDays;
    FilterSet filter;

    bool IsFileTask() const { return (flags & kTaskFile) != 0; }
    bool HasFlag(TaskFlag flag) const { return (flags & flag) != 0; }

    // Restores the defaults of every field except database, serviceName, password, rootPassword,
    // basePeriod and filter.
    void Reset();

    bool operator==(const TaskInfo&) const = default;
};

// The 31-character '0'/'1' form of a day set, most significant bit first (the last character is bit 0).
std::string DaysToText(const DaySet& days);
// Reads the text form: a shorter text ends in bit 0, a longer one contributes its first 31 characters.
// False (days unchanged) when one of those characters is not '0' or '1'.
bool DaysFromText(std::string_view text, DaySet& days);

}  // namespace zov
