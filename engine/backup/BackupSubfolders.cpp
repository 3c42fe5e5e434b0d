#include "engine/backup/BackupSubfolders.h"

#include <sys/stat.h>

#include <optional>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/backup/BackupRecord.h"
#include "engine/files/ExcludedFolder.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/CommonFiles.h"
#include "platform/Paths.h"

namespace zov {

std::vector<std::string> SubfoldersToBackUp(const std::string& source, const std::string& storage) {
    std::vector<std::string> names;
    ListSubfolders(source, names);
    const std::optional<ExcludedFolder> leftOut = ExcludedFolderInside(source, storage);
    std::vector<std::string> taken;
    for (const std::string& name : names) {
        struct stat info {};
        if (::lstat(JoinPath(source, name).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
        if (leftOut && leftOut->Is(info)) continue;
        taken.push_back(name);
    }
    return taken;
}

int CBackup::BackupSubfoldersFull(TaskInfo& task, const std::string& rarPath, std::string& message,
                                  std::time_t runTime, const JobContext& job) {
    return BackupSubfolders(task, rarPath, message, runTime, job, &CBackup::BackupFull);
}

int CBackup::BackupSubfoldersDiff(TaskInfo& task, const std::string& rarPath, std::string& message,
                                  std::time_t runTime, const JobContext& job) {
    return BackupSubfolders(task, rarPath, message, runTime, job, &CBackup::BackupDiff);
}

int CBackup::BackupSubfolders(TaskInfo& task, const std::string& rarPath, std::string& message,
                              std::time_t runTime, const JobContext& job, SingleJob single) {
    const std::string source = CleanPath(task.source);
    const std::vector<std::string> names = SubfoldersToBackUp(source, task.dest);
    WriteSystemLog(task.name + "\t开始执行压缩子目录：找到子目录[" + std::to_string(names.size()) + "]个。");
    int result = 0;
    int succeeded = 0;
    std::string failedNames;
    std::string failure;
    for (const std::string& name : names) {
        TaskInfo one = task;
        one.source = JoinPath(source, name);
        result = (this->*single)(one, rarPath, message, runTime, job);
        if (job.stop.stop_requested()) return 0;
        if (result != 0) {
            ++succeeded;
            continue;
        }
        failedNames += (failedNames.empty() ? "" : "，") + name;
        if (failure.empty()) failure = message;
    }
    const int failed = static_cast<int>(names.size()) - succeeded;
    std::string end = task.name + "\t压缩子目录结束：成功" + std::to_string(succeeded) + "项，失败" +
                      std::to_string(failed) + "项。";
    if (failed > 0) end += "失败的目录有[" + failedNames + "]。";
    WriteSystemLog(end);
    if (names.empty()) {
        message = "按子目录备份时，源文件夹" + source + "下没有子目录";
        WriteFailedRecord(task, task.dest, message);
        return 0;
    }
    if (failed > 0) {
        message = failure;
        return 0;
    }
    return result;
}

}  // namespace zov
