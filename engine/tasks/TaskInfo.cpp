#include "engine/tasks/TaskInfo.h"

namespace zov {

void TaskInfo::Reset() {
    const TaskInfo defaults;
    id = defaults.id;
    flags = defaults.flags;
    name = defaults.name;
    source = defaults.source;
    dest = defaults.dest;
    times = defaults.times;
    compress = defaults.compress;
    diff = defaults.diff;
    period = defaults.period;
    days = defaults.days;
    delBad = defaults.delBad;
    keepDays = defaults.keepDays;
    instance = defaults.instance;
    partial = defaults.partial;
    sqlType = defaults.sqlType;
}

std::string DaysToText(const DaySet& days) { return days.to_string(); }

bool DaysFromText(std::string_view text, DaySet& days) {
    const std::string_view used = text.substr(0, days.size());
    DaySet read;
    for (char c : used) {
        if (c != '0' && c != '1') return false;
        read = (read << 1);
        read.set(0, c == '1');
    }
    days = read;
    return true;
}

}  // namespace zov
