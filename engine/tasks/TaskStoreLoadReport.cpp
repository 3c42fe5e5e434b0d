#include "engine/tasks/TaskStoreLoadReport.h"

#include "engine/settings/SystemError.h"
#include "engine/tasks/DueTasks.h"
#include "engine/tasks/TaskInfo.h"
#include "engine/tasks/TaskRecordReader.h"
#include "engine/tasks/TaskRecordTags.h"

namespace zov {
namespace {

// The records that do not parse and those whose schedule never runs (as written), each with the reason.
std::vector<std::string> SkippedRecords(const std::vector<std::string>& records) {
    std::vector<std::string> skipped;
    for (std::size_t i = 0; i < records.size(); ++i) {
        TaskInfo task;
        std::string why;
        const bool parsed = ParseRecord(records[i], task, why);
        const std::string neverDue = parsed ? NeverDueReason(records[i], task) : "";
        if (parsed && neverDue.empty()) continue;
        const std::string id = TagValue(records[i], "ID");
        skipped.push_back("第 " + std::to_string(i + 1) + " 条记录（" +
                          (id.empty() ? std::string("无 ID") : "ID " + std::to_string(DecimalValue(id))) +
                          (parsed ? "）的计划无法运行：" + neverDue : "）被跳过：" + why));
    }
    return skipped;
}

}  // namespace

void ReportTaskStoreLoad(const std::string& path, const FileVersion& version, const std::string& problem,
                         const std::vector<std::string>& records) {
    if (!NoteNewVersion(path, version)) return;
    if (!problem.empty()) LogSystemError("任务配置文件 " + path + " " + problem + "，未读取，任务不会运行");
    for (const std::string& skipped : SkippedRecords(records)) {
        LogSystemError("任务配置文件 " + path + " 的" + skipped);
    }
}

}  // namespace zov
