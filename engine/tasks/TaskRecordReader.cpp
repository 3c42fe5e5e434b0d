#include "engine/tasks/TaskRecordReader.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "engine/tasks/Refusal.h"
#include "engine/tasks/TaskRecordTags.h"
#include "engine/util/CommonText.h"

namespace zov {
namespace {

// The most digits a number read with ReadNumberIn may have, so that it fits an int.
constexpr std::size_t kMaxDigits = 9;

bool HoldsAnyOf(const std::string& value, const char* characters) {
    return value.find_first_of(characters) != std::string::npos;
}

// A value that must be present and hold none of kNameForbidden.
bool ReadName(const std::string& record, std::string_view tag, std::string& out, std::string& why) {
    std::string value = TagValue(record, tag);
    if (value.empty()) return Refuse(why, "缺少 " + std::string(tag));
    if (HoldsAnyOf(value, kNameForbidden)) return Refuse(why, std::string(tag) + " 含有 <、> 或 |");
    out = std::move(value);
    return true;
}

// A value of decimal digits only, from low to high.
bool ReadNumberIn(const std::string& value, std::string_view tag, int low, int high, int& out,
                  std::string& why) {
    const bool digits = !value.empty() && value.size() <= kMaxDigits &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int number = digits ? std::stoi(value) : 0;
    if (!digits || number < low || number > high) {
        return Refuse(why, std::string(tag) + " 值“" + value + "”不是 " + std::to_string(low) + " 到 " +
                               std::to_string(high) + " 之间的数");
    }
    out = number;
    return true;
}

bool ReadFileFields(const std::string& record, TaskInfo& task, std::string& why) {
    if (!ReadName(record, "SOURCE", task.source, why)) return false;
    task.diff = DecimalValue(TagValue(record, "DIFF")) != 0;
    if (task.diff) {
        const int basePeriod = DecimalValue(TagValue(record, "BPERIOD"));
        task.basePeriod = basePeriod < 0 ? 1 : basePeriod;
    }
    task.filter.exclude = !task.HasFlag(kTaskFilterInclude);
    if (task.HasFlag(kTaskFilter)) {
        std::vector<std::string> items;
        SplitToList(items, TagValue(record, "EXTENSIONS"), '|', true, 1);
        for (const std::string& item : items) task.filter.Add(item);
    }
    return true;
}

bool ReadDatabaseFields(const std::string& record, TaskInfo& task, std::string& why) {
    const int type = DecimalValue(TagValue(record, "SQLTYPE"));
    if (type == kMySql) {
        task.serviceName = TagValue(record, "SRVNAME");
        if (task.serviceName.empty()) return Refuse(why, "缺少 SRVNAME");
        task.rootPassword = TagValue(record, "ROOTPWD");
    } else if (type == kSqlServer) {
        task.instance = TagValue(record, "INSTANCE");
        if (task.instance.empty()) return Refuse(why, "缺少 INSTANCE");
    }
    task.sqlType = type == kMySql ? kMySql : kSqlServer;
    task.database = TagValue(record, "DATABASE");
    if (task.database.empty() && task.sqlType == kSqlServer) return Refuse(why, "缺少 DATABASE");
    return true;
}

bool ReadSchedule(const std::string& record, TaskInfo& task, std::string& why) {
    const std::string period = TagValue(record, "DFLAG");
    if (period.empty()) {
        task.days.set();
        return true;
    }
    if (!ReadNumberIn(period, "DFLAG", kDaily, kMonthly, task.period, why)) return false;
    const std::string days = TagValue(record, "DAYS");
    if (!days.empty() && !DaysFromText(days, task.days)) {
        return Refuse(why, "DAYS 值“" + days + "”含有 0 和 1 以外的字符");
    }
    task.times = TagValue(record, "TIME");
    return true;
}

bool ReadTask(const std::string& record, TaskInfo& parsed, std::string& why) {
    if (record.empty()) return Refuse(why, "记录为空");
    const std::string id = TagValue(record, "ID");
    if (id.empty()) return Refuse(why, "缺少 ID");
    parsed.id = DecimalValue(id);
    const std::string flags = TagValue(record, "FLAG");
    if (flags.empty()) return Refuse(why, "缺少 FLAG");
    if (!ReadNumberIn(flags, "FLAG", 1, kTaskAllFlags, parsed.flags, why)) return false;
    if (!ReadName(record, "NAME", parsed.name, why)) return false;
    parsed.delBad = TagValue(record, "DELBAD") == "1";

    const bool kindRead =
        parsed.IsFileTask() ? ReadFileFields(record, parsed, why) : ReadDatabaseFields(record, parsed, why);
    if (!kindRead) return false;

    // A file task without a storage folder is still read, so that it can be listed and mended.
    parsed.dest = TagValue(record, "DEST");
    if (HoldsAnyOf(parsed.dest, kNameForbidden)) return Refuse(why, "DEST 含有 <、> 或 |");
    if (!parsed.IsFileTask() && parsed.sqlType == kSqlServer && parsed.dest.empty()) {
        return Refuse(why, "缺少 DEST");
    }

    if (parsed.HasFlag(kTaskCompress)) {
        parsed.compress = DecimalValue(TagValue(record, "COMPRESS")) == 1;
        std::string password = TagValue(record, "PWORD");
        if (!password.empty()) parsed.password = std::move(password);
        parsed.partial = parsed.IsFileTask() ? DecimalValue(TagValue(record, "PARTIAL")) : kDatabaseVolumeMb;
    }
    const bool hasSchedule = parsed.HasFlag(kTaskScheduled) || !TagValue(record, "DFLAG").empty();
    if (hasSchedule && !ReadSchedule(record, parsed, why)) return false;
    parsed.keepDays = DecimalValue(TagValue(record, "SAVEDAYS"));
    return true;
}

}  // namespace

bool ParseRecord(const std::string& record, TaskInfo& task, std::string& why) {
    why.clear();
    TaskInfo parsed = task;
    if (!ReadTask(record, parsed, why)) return false;
    task = std::move(parsed);
    return true;
}

bool ParseRecord(const std::string& record, TaskInfo& task) {
    std::string why;
    return ParseRecord(record, task, why);
}

}  // namespace zov
