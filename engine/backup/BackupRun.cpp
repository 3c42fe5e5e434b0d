#include <cerrno>

#include "engine/backup/Backup.h"
#include "engine/backup/BackupRecord.h"
#include "engine/files/BackupNames.h"
#include "engine/files/FileOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "engine/tasks/Schedule.h"
#include "engine/util/CommonPaths.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string BackupItemName(const std::string& source) {
    const std::string path = CleanPath(Trimmed(source));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DatedFolder(const std::string& storage, std::time_t runTime) {
    const std::string date = FormatLocalTime(runTime, kDateFormat);
    if (date.empty()) return "";
    return WithTrailingSlash(storage) + date + "/";
}

int CBackup::RunTask(const TaskInfo& task, const std::string& rarPath, std::string& message,
                     const JobContext& job) {
    if (task.IsFileTask()) return RunFileTask(task, rarPath, message, job);
    // As a file run, a database run keeps its start in [CURTASK] while it works: the record of a run cut
    // short takes it from there to find the work folders the run left.
    const std::time_t runTime = Now();
    const IniFile temp(TempIniPath());
    const std::string taskKey = std::to_string(task.id);
    temp.Write(taskKey, kCurrentTaskSection, FormatLocalTime(runTime, kRunStartFormat));
    const std::string dateText = GetDateText(task, runTime);
    const int result = task.sqlType == kSqlServer ? RunSqlServerTask(task, dateText, rarPath, message, job)
                                                  : RunMySqlTask(task, dateText, rarPath, message, job);
    if (result != 0 || !job.stop.stop_requested()) temp.Write(taskKey, kCurrentTaskSection, "");
    return result;
}

int CBackup::RunFileTask(TaskInfo task, const std::string& rarPath, std::string& message,
                         const JobContext& job) {
    WriteSystemLog("进入文件备份。");
    std::string failure;
    if (!IsAbsolutePath(task.source)) {
        failure = "文件备份时，源文件夹" + task.source + "不是绝对路径";
    } else if (!IsAbsolutePath(task.dest)) {
        failure = "文件备份时，存储目录" + task.dest + "不是绝对路径";
    } else if (!FileExists(task.source)) {
        failure = "文件备份的时候，源文件夹" + task.source + "不存在";
    } else if (!IsDirectory(task.dest) && !CFileOperator::MakePrivateFolder(task.dest)) {
        // One level only; a folder another run made meanwhile counts.
        const int code = errno;
        if (!IsDirectory(task.dest)) {
            failure =
                "文件备份时，存储目录" + task.dest + "不存在且无法创建，错误代码:" + std::to_string(code);
        }
    }
    if (!failure.empty()) {
        message = failure;
        WriteSystemLog(message);
        WriteFailedRecord(task, task.dest, message);
        return 0;
    }
    // task.delBad asks for DeleteReservedNames, a walk of the whole source that finds nothing here: no name
    // is reserved on this system.
    const std::time_t runTime = Now();
    int result;
    if (task.diff && task.compress) {
        result = BackupSubfoldersDiff(task, rarPath, message, runTime, job);
    } else if (task.diff) {
        result = BackupDiff(task, rarPath, message, runTime, job);
    } else if (task.compress) {
        result = BackupSubfoldersFull(task, rarPath, message, runTime, job);
    } else {
        result = BackupFull(task, rarPath, message, runTime, job);
    }
    if (result == 0) WriteSystemLog(message);
    return result;
}

}  // namespace zov
