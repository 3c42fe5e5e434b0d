#include <cstdio>

#include "engine/backup/Backup.h"
#include "engine/backup/BackupOutput.h"
#include "engine/backup/BackupRecord.h"
#include "engine/files/BackupNames.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "engine/tasks/QelXml.h"
#include "engine/tasks/RunStart.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

// The record of a run that a stop or a kill cut short, written at the next start of the service (and, for a
// hand run, of the management program).
namespace zov {
namespace {

constexpr const char* kInterruptedText = "备份被中断（服务停止或进程被终止）";

}  // namespace

std::time_t RecordedRunStart(int taskId) {
    const std::string text = IniFile(TempIniPath()).Read(std::to_string(taskId), kCurrentTaskSection);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second) !=
        6) {
        return 0;
    }
    const std::time_t start = MakeLocalTime(year, month, day, hour, minute, second);
    // Out-of-range fields would be carried into another date.
    return FormatLocalTime(start, kRunStartFormat) == text ? start : 0;
}

void CBackup::RecordInterruptedRun(const TaskInfo& task, std::time_t runTime) {
    std::string message = kInterruptedText;
    std::string target = task.dest;
    const std::string stamp = runTime == 0 ? "" : FormatLocalTime(runTime, kStampFormat);
    if (!stamp.empty() && IsAbsolutePath(task.dest)) {
        // Only the run's own work folders go: what it finished, or an archive of the same name another
        // task wrote, stays.
        const std::string datedFolder = DatedFolder(task.dest, runTime);
        std::string left;
        bool removed = RemovePartialSets(datedFolder, task.id, stamp, left);
        if (task.IsFileTask()) {
            if (task.diff) removed = RemoveDiffPartialSets(task.dest, task.id, stamp, left) && removed;
            target = task.compress ? task.dest : datedFolder + BackupItemName(task.source) + "_" + stamp;
        }
        message += removed ? "，未完成的备份已删除" : "，未完成的备份删除失败：" + left;
    }
    WriteFailedRecord(task, target, message);
    IniFile(TempIniPath()).Write(std::to_string(task.id), kCurrentTaskSection, "");
}

void CBackup::RecoverEndedHandRuns() {
    const std::vector<EndedHandRun> ended = FileEndedHandRuns();
    if (ended.empty()) return;
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    store.Load();
    for (const EndedHandRun& run : ended) {
        TaskInfo task;
        const bool known = store.GetTaskById(run.id, task);
        task.id = run.id;
        WriteSystemLog("任务" + task.name + "（ID " + std::to_string(run.id) +
                       "）的立即备份被中断，记为失败");
        if (known) RecordInterruptedRun(task, run.start);
    }
}

}  // namespace zov
