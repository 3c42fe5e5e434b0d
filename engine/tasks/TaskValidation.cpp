#include "engine/tasks/TaskValidation.h"

#include <algorithm>

#include "engine/tasks/DueTasks.h"
#include "engine/tasks/Refusal.h"
#include "engine/tasks/TaskRecordReader.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonText.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// Results of ComparePaths.
constexpr int kSamePath = 2;
constexpr int kNestedPath = 1;

// The day bits of a weekly schedule, Monday .. Sunday.
constexpr DaySet kWeekdays(0x7F);

// Similarity levels: the same source (for database tasks a database in common), also the same storage
// folder, also the other's times among the task's.
constexpr int kSameSource = 1;
constexpr int kSameStorage = 2;
constexpr int kSameTimes = 3;

// The fields only a database task has: the database names ('|' joins them), the instance or service and
// the server's root password.
bool CheckDatabaseFields(const TaskInfo& task, std::string& why) {
    std::vector<std::string> names;
    SplitToList(names, task.database, '|', true, 1);
    if (!std::all_of(names.begin(), names.end(),
                     [](const std::string& name) { return IsSafeTaskText(name); }))
        return Refuse(why, "数据库名不能含有 <、>、| 或控制字符，请重新设置");
    if (task.sqlType == kSqlServer && !IsSafeTaskText(task.instance))
        return Refuse(why, "实例名不能含有 <、>、| 或控制字符，请重新设置");
    if (task.sqlType == kMySql && !IsSafeTaskText(task.serviceName))
        return Refuse(why, "服务名不能含有 <、>、| 或控制字符，请重新设置");
    if (!IsSafeTaskText(task.rootPassword))
        return Refuse(why, "root密码不能含有 <、>、| 或控制字符，请重新设置");
    return true;
}

// The task's own fields, checked in order; the first that fails refuses it.
bool CheckFields(const TaskInfo& task, bool loaded, std::string& why) {
    if (!IsSafeTaskText(task.name)) return Refuse(why, "任务名不能含有 <、>、| 或控制字符，请重新设置");
    if (task.IsFileTask()) {
        if (!IsSafeTaskText(task.source)) return Refuse(why, "源目录不能含有 <、>、| 或控制字符，请重新设置");
        if (!IsAbsolutePath(task.source)) return Refuse(why, "源目录必须是以 / 开头的绝对路径，请重新设置");
    }
    if (task.IsFileTask() && !IsDirectory(task.source)) return Refuse(why, "源目录不正确，请重新设置");
    if (task.HasFlag(kTaskFilter) && task.filter.extensions.empty()) {
        return Refuse(why, "校验任务时，使用了过滤器但未设置过滤条件。");
    }
    if (task.period == kWeekly && (task.days & kWeekdays).none()) {
        return Refuse(why, "校验任务时，设置为每周备份，但未指定具体备份日期。");
    }
    if (task.period == kMonthly && task.days.none()) {
        return Refuse(why, "校验任务时，设置为每月备份，但未指定具体备份日期。");
    }
    if (task.IsFileTask() && task.diff && task.basePeriod < 0) return Refuse(why, "基准库更新周期未设置");
    if (task.dest.find('?') != std::string::npos || !IsSafeTaskText(task.dest) ||
        !IsAbsolutePath(task.dest)) {
        return Refuse(why, "备份存储目录不合法，请重新设置");
    }
    if (!IsSafeTaskText(task.password)) return Refuse(why, "压缩密码不能含有 <、>、| 或控制字符，请重新设置");
    if (!task.IsFileTask() && !CheckDatabaseFields(task, why)) return false;
    if (!loaded) return Refuse(why, "未找到配置文件");
    return true;
}

bool ShareDatabase(const std::string& a, const std::string& b) {
    std::vector<std::string> first;
    std::vector<std::string> second;
    SplitToList(first, a, '|', true, 1);
    SplitToList(second, b, '|', true, 1);
    return std::any_of(first.begin(), first.end(), [&](const std::string& name) {
        return !name.empty() && std::find(second.begin(), second.end(), name) != second.end();
    });
}

int Similarity(const TaskInfo& task, const TaskInfo& other) {
    if (!task.IsFileTask()) return ShareDatabase(task.database, other.database) ? kSameSource : 0;
    if (!other.IsFileTask() || ComparePaths(task.source, other.source) != kSamePath) return 0;
    if (ComparePaths(task.dest, other.dest) != kSamePath) return kSameSource;
    return task.times.find(other.times) != std::string::npos ? kSameTimes : kSameStorage;
}

}  // namespace

bool IsSafeTaskText(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '<' || c == '>' || c == '|' || byte < 0x20 || byte == 0x7F;
    });
}

int ValidateTask(const TaskInfo& task, const std::vector<std::string>& records, bool storeLoaded,
                 std::time_t when, std::string& message) {
    message.clear();
    bool nested = false;
    for (const std::string& record : records) {
        TaskInfo other;
        if (!ParseRecord(record, other) || other.id == task.id) continue;
        if (other.name == task.name) {
            message = "任务名重复，请重新设置";
            return kValidateError;
        }
        const int relation = ComparePaths(task.dest, other.dest);
        if (relation == kSamePath) {
            message = "任务存储路径和已有的任务相同，请重新设置。";
            return kValidateError;
        }
        nested = nested || relation == kNestedPath;
    }
    if (!CheckFields(task, storeLoaded, message)) return kValidateError;
    // A warning only once no error is left, so the user is never asked to confirm a task that cannot be
    // saved.
    if (nested) {
        message = "当前路径和其他任务存储路径存在上下级关系，这样可能会影响备份和还原功能。";
        return kValidateWarning;
    }
    int level = 0;
    for (const TaskInfo& other : DueTasks(records, when)) level = std::max(level, Similarity(task, other));
    return level;
}

}  // namespace zov
