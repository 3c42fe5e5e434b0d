#include <algorithm>
#include <limits>
#include <string>

#include "engine/tasks/QelXml.h"
#include "engine/util/CommonText.h"

namespace zov {
namespace {

bool HoldsAnyOf(const std::string& value, const char* characters) {
    return value.find_first_of(characters) != std::string::npos;
}

// A value that must be present and hold none of kNameForbidden; the reason for refusing it otherwise.
std::string ReadName(const std::string& record, std::string_view tag, std::string& out) {
    std::string value = CQelXML::TagValue(record, tag);
    if (value.empty()) return "缺少 " + std::string(tag);
    if (HoldsAnyOf(value, kNameForbidden)) return std::string(tag) + " 含有 <、> 或 |";
    out = std::move(value);
    return "";
}

// A value of decimal digits only, from low to high; the reason for refusing it otherwise.
std::string ReadNumberIn(const std::string& value, std::string_view tag, int low, int high, int& out) {
    const bool digits = !value.empty() && value.size() <= 9 &&
                        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int number = digits ? std::stoi(value) : 0;
    if (!digits || number < low || number > high) {
        return std::string(tag) + " 值“" + value + "”不是 " + std::to_string(low) + " 到 " +
               std::to_string(high) + " 之间的数";
    }
    out = number;
    return "";
}

std::string ReadFileFields(const std::string& record, TaskInfo& task) {
    if (std::string why = ReadName(record, "SOURCE", task.source); !why.empty()) return why;
    task.diff = CQelXML::DecimalValue(CQelXML::TagValue(record, "DIFF")) != 0;
    if (task.diff) {
        const int basePeriod = CQelXML::DecimalValue(CQelXML::TagValue(record, "BPERIOD"));
        task.basePeriod = basePeriod < 0 ? 1 : basePeriod;
    }
    task.filter.exclude = !task.HasFlag(kTaskFilterInclude);
    if (task.HasFlag(kTaskFilter)) {
        std::vector<std::string> items;
        SplitToList(items, CQelXML::TagValue(record, "EXTENSIONS"), '|', true, 1);
        for (const std::string& item : items) task.filter.Add(item);
    }
    return "";
}

std::string ReadDatabaseFields(const std::string& record, TaskInfo& task) {
    const int type = CQelXML::DecimalValue(CQelXML::TagValue(record, "SQLTYPE"));
    if (type == kMySql) {
        task.serviceName = CQelXML::TagValue(record, "SRVNAME");
        if (task.serviceName.empty()) return "缺少 SRVNAME";
        task.rootPassword = CQelXML::TagValue(record, "ROOTPWD");
    } else if (type == kSqlServer) {
        task.instance = CQelXML::TagValue(record, "INSTANCE");
        if (task.instance.empty()) return "缺少 INSTANCE";
    }
    task.sqlType = type == kMySql ? kMySql : kSqlServer;
    task.database = CQelXML::TagValue(record, "DATABASE");
    if (task.database.empty() && task.sqlType == kSqlServer) return "缺少 DATABASE";
    return "";
}

std::string ReadSchedule(const std::string& record, TaskInfo& task) {
    const std::string period = CQelXML::TagValue(record, "DFLAG");
    if (period.empty()) {
        task.days.set();
        return "";
    }
    if (std::string why = ReadNumberIn(period, "DFLAG", kDaily, kMonthly, task.period); !why.empty())
        return why;
    const std::string days = CQelXML::TagValue(record, "DAYS");
    if (!days.empty() && !DaysFromText(days, task.days)) return "DAYS 值“" + days + "”含有 0 和 1 以外的字符";
    task.times = CQelXML::TagValue(record, "TIME");
    return "";
}

// Reads the record into parsed; the reason it is refused, or "".
std::string ReadTask(const std::string& record, TaskInfo& parsed) {
    if (record.empty()) return "记录为空";
    const std::string id = CQelXML::TagValue(record, "ID");
    if (id.empty()) return "缺少 ID";
    parsed.id = CQelXML::DecimalValue(id);
    const std::string flags = CQelXML::TagValue(record, "FLAG");
    if (flags.empty()) return "缺少 FLAG";
    if (std::string why = ReadNumberIn(flags, "FLAG", 1, kTaskAllFlags, parsed.flags); !why.empty())
        return why;
    if (std::string why = ReadName(record, "NAME", parsed.name); !why.empty()) return why;
    parsed.delBad = CQelXML::TagValue(record, "DELBAD") == "1";

    const std::string kindWhy =
        parsed.IsFileTask() ? ReadFileFields(record, parsed) : ReadDatabaseFields(record, parsed);
    if (!kindWhy.empty()) return kindWhy;

    // A file task without a storage folder is still read, so that it can be listed and mended.
    parsed.dest = CQelXML::TagValue(record, "DEST");
    if (HoldsAnyOf(parsed.dest, kNameForbidden)) return "DEST 含有 <、> 或 |";
    if (!parsed.IsFileTask() && parsed.sqlType == kSqlServer && parsed.dest.empty()) return "缺少 DEST";

    if (parsed.HasFlag(kTaskCompress)) {
        parsed.compress = CQelXML::DecimalValue(CQelXML::TagValue(record, "COMPRESS")) == 1;
        std::string password = CQelXML::TagValue(record, "PWORD");
        if (!password.empty()) parsed.password = std::move(password);
        parsed.partial = parsed.IsFileTask() ? CQelXML::DecimalValue(CQelXML::TagValue(record, "PARTIAL"))
                                             : kDatabaseVolumeMb;
    }
    const bool hasSchedule = parsed.HasFlag(kTaskScheduled) || !CQelXML::TagValue(record, "DFLAG").empty();
    if (hasSchedule) {
        if (std::string why = ReadSchedule(record, parsed); !why.empty()) return why;
    }
    parsed.keepDays = CQelXML::DecimalValue(CQelXML::TagValue(record, "SAVEDAYS"));
    return "";
}

}  // namespace

std::string CQelXML::TagValue(std::string_view record, std::string_view tag) {
    return zov::TagValue(record, tag);
}

int CQelXML::DecimalValue(std::string_view value) { return zov::DecimalValue(value); }

bool CQelXML::ParseTask(const std::string& record, TaskInfo& task) {
    std::string reason;
    return ParseTask(record, task, reason);
}

bool CQelXML::ParseTask(const std::string& record, TaskInfo& task, std::string& reason) {
    TaskInfo parsed = task;
    reason = ReadTask(record, parsed);
    if (!reason.empty()) return false;
    task = std::move(parsed);
    return true;
}

bool CQelXML::RecordHasId(std::string_view record, int id) { return zov::RecordHasId(record, id); }

bool CQelXML::GetTaskById(int id, TaskInfo& task) const {
    std::lock_guard lock(mutex_);
    return FindTaskLocked(id, task);
}

bool CQelXML::FindTaskLocked(int id, TaskInfo& task) const {
    for (const std::string& record : records_) {
        if (RecordHasId(record, id)) return ParseTask(record, task);
    }
    return false;
}

}  // namespace zov
