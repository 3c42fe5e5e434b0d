#include <algorithm>
#include <string>
#include <vector>

#include "engine/tasks/DueTasks.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr int kSamePath = 2;
constexpr int kNestedPath = 1;

// The first failing check of the task's own fields, or nullptr.
const char* FieldError(const TaskInfo& task, bool loaded) {
    if (task.IsFileTask() && !IsDirectory(task.source)) return "源目录不正确，请重新设置";
    if (task.HasFlag(kTaskFilter) && task.filter.extensions.empty()) {
        return "校验任务时，使用了过滤器但未设置过滤条件。";
    }
    if (task.period == kWeekly && (task.days & DaySet(0x7F)).none()) {
        return "校验任务时，设置为每周备份，但未指定具体备份日期。";
    }
    if (task.period == kMonthly && task.days.none())
        return "校验任务时，设置为每月备份，但未指定具体备份日期。";
    if (task.IsFileTask() && task.diff && task.basePeriod < 0) return "基准库更新周期未设置";
    if (task.dest.find_first_of("<>?|") != std::string::npos || !IsAbsolutePath(task.dest)) {
        return "备份存储目录不合法，请重新设置";
    }
    if (!loaded) return "未找到配置文件";
    return nullptr;
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

// 1 same source, 2 also the same storage folder, 3 also the other's times among the task's; for
// database tasks 1 when they share a database.
int Similarity(const TaskInfo& task, const TaskInfo& other) {
    if (!task.IsFileTask()) return ShareDatabase(task.database, other.database) ? 1 : 0;
    if (!other.IsFileTask() || ComparePaths(task.source, other.source) != kSamePath) return 0;
    if (ComparePaths(task.dest, other.dest) != kSamePath) return 1;
    return task.times.find(other.times) != std::string::npos ? 3 : 2;
}

}  // namespace

int CQelXML::ValidateTask(const TaskInfo& task, std::string& message) const {
    std::lock_guard lock(mutex_);
    message.clear();
    bool nested = false;
    for (const std::string& record : records_) {
        TaskInfo other;
        if (!ParseTask(record, other) || other.id == task.id) continue;
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
    if (const char* error = FieldError(task, loaded_)) {
        message = error;
        return kValidateError;
    }
    // A warning only once no error is left, so the user is never asked to confirm a task that cannot be
    // saved.
    if (nested) {
        message = "当前路径和其他任务存储路径存在上下级关系，这样可能会影响备份和还原功能。";
        return kValidateWarning;
    }
    const std::vector<TaskInfo> due = DueTasks(records_, Now());
    int level = 0;
    for (const TaskInfo& other : due) level = std::max(level, Similarity(task, other));
    return level;
}

}  // namespace zov
