#include <algorithm>
#include <cctype>
#include <limits>

#include "engine/CommonText.h"
#include "engine/QelXml.h"

namespace zov {
namespace {

bool HoldsAnyOf(const std::string& value, const char* characters) {
    return value.find_first_of(characters) != std::string::npos;
}

// A value that must be present and hold none of kNameForbidden.
bool ReadName(const std::string& record, std::string_view tag, std::string& out) {
    std::string value = CQelXML::TagValue(record, tag);
    if (value.empty() || HoldsAnyOf(value, kNameForbidden)) return false;
    out = std::move(value);
    return true;
}

bool ReadFileFields(const std::string& record, TaskInfo& task) {
    if (!ReadName(record, "SOURCE", task.source)) return false;
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
    return true;
}

bool ReadDatabaseFields(const std::string& record, TaskInfo& task) {
    const int type = CQelXML::DecimalValue(CQelXML::TagValue(record, "SQLTYPE"));
    if (type == kMySql) {
        task.serviceName = CQelXML::TagValue(record, "SRVNAME");
        if (task.serviceName.empty()) return false;
        task.rootPassword = CQelXML::TagValue(record, "ROOTPWD");
    } else if (type == kSqlServer) {
        task.instance = CQelXML::TagValue(record, "INSTANCE");
        if (task.instance.empty()) return false;
    }
    task.sqlType = type == kMySql ? kMySql : kSqlServer;
    task.database = CQelXML::TagValue(record, "DATABASE");
    return !(task.database.empty() && task.sqlType == kSqlServer);
}

bool ReadSchedule(const std::string& record, TaskInfo& task) {
    const std::string period = CQelXML::TagValue(record, "DFLAG");
    if (period.empty()) {
        task.days.set();
        return true;
    }
    task.period = CQelXML::DecimalValue(period);
    const std::string days = CQelXML::TagValue(record, "DAYS");
    if (!days.empty() && !DaysFromText(days, task.days)) return false;
    task.times = CQelXML::TagValue(record, "TIME");
    return true;
}

}  // namespace

std::string CQelXML::TagValue(std::string_view record, std::string_view tag) {
    const std::string name(tag);
    return TextBetween(record, "<" + name + ">", "</" + name + ">");
}

int CQelXML::DecimalValue(std::string_view value) {
    std::size_t at = 0;
    while (at < value.size() && std::isspace(static_cast<unsigned char>(value[at]))) ++at;
    bool negative = false;
    if (at < value.size() && (value[at] == '-' || value[at] == '+')) negative = value[at++] == '-';
    long long number = 0;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
        number = std::min<long long>(number * 10 + (value[at] - '0'), std::numeric_limits<int>::max() + 1LL);
    }
    if (negative) number = -number;
    return static_cast<int>(
        std::clamp<long long>(number, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool CQelXML::ParseTask(const std::string& record, TaskInfo& task) {
    if (record.empty()) return false;
    TaskInfo parsed = task;

    const std::string id = TagValue(record, "ID");
    const std::string flags = TagValue(record, "FLAG");
    if (id.empty() || flags.empty()) return false;
    parsed.id = DecimalValue(id);
    parsed.flags = DecimalValue(flags);
    if (!ReadName(record, "NAME", parsed.name)) return false;
    parsed.delBad = TagValue(record, "DELBAD") == "1";

    const bool kindRead =
        parsed.IsFileTask() ? ReadFileFields(record, parsed) : ReadDatabaseFields(record, parsed);
    if (!kindRead) return false;

    // A file task without a storage folder is still read, so that it can be listed and mended.
    parsed.dest = TagValue(record, "DEST");
    if (HoldsAnyOf(parsed.dest, kNameForbidden)) return false;
    if (!parsed.IsFileTask() && parsed.sqlType == kSqlServer && parsed.dest.empty()) return false;

    if (parsed.HasFlag(kTaskCompress)) {
        parsed.compress = DecimalValue(TagValue(record, "COMPRESS")) == 1;
        std::string password = TagValue(record, "PWORD");
        if (!password.empty()) parsed.password = std::move(password);
        parsed.partial = parsed.IsFileTask() ? DecimalValue(TagValue(record, "PARTIAL")) : kDatabaseVolumeMb;
    }
    const bool hasSchedule = parsed.HasFlag(kTaskScheduled) || !TagValue(record, "DFLAG").empty();
    if (hasSchedule && !ReadSchedule(record, parsed)) return false;
    parsed.keepDays = DecimalValue(TagValue(record, "SAVEDAYS"));

    task = std::move(parsed);
    return true;
}

bool CQelXML::RecordHasId(std::string_view record, int id) {
    const std::string value = TagValue(record, "ID");
    return !value.empty() && DecimalValue(value) == id;
}

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
