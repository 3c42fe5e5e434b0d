#include <sys/stat.h>

#include <cerrno>

#include "engine/Backup.h"
#include "engine/BackupNames.h"
#include "engine/CommonPaths.h"
#include "engine/FileOperator.h"
#include "engine/QelLog.h"
#include "engine/SystemLog.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr const char* kUnavailableDiff = "差异备份功能尚未提供";
constexpr const char* kUnavailableSubfolders = "按子目录备份功能尚未提供";
constexpr const char* kUnavailableDatabase = "数据库备份功能尚未提供";

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

int CBackup::RunFileTask(TaskInfo task, const std::string& rarPath, std::string& message) {
    WriteSystemLog("进入文件备份。");
    if (!FileExists(task.source)) {
        message = "文件备份的时候，源文件夹" + task.source + "不存在";
        WriteSystemLog(message);
        return 0;
    }
    // One level only; a folder another run made meanwhile counts.
    const int made = IsDirectory(task.dest) ? 0 : mkdir(task.dest.c_str(), 0755);
    const int code = errno;
    if (made != 0 && !IsDirectory(task.dest)) {
        message = "文件备份时，存储目录" + task.dest + "不存在且无法创建，错误代码:" + std::to_string(code);
        WriteSystemLog(message);
        return 0;
    }
    if (task.delBad && CFileOperator().DeleteReservedNames(task.source) == 0) {
        message = "文件备份时，清除目录 " + task.source + " 下的畸形文件时发生错误。";
    }
    const std::time_t runTime = Now();
    int result;
    if (task.diff) {
        result = RecordUnavailable(task, kLogFiles, kLogTypeDiff, task.source, kUnavailableDiff, message);
    } else if (task.compress) {
        result =
            RecordUnavailable(task, kLogFiles, kLogTypeFull, task.source, kUnavailableSubfolders, message);
    } else {
        result = BackupFull(task, rarPath, message, runTime);
    }
    if (result == 0) WriteSystemLog(message);
    return result;
}

int CBackup::RunSqlServerTask(TaskInfo task, const std::string&, const std::string&, std::string& message) {
    return RecordUnavailable(task, kLogSqlServer, kLogTypeSqlServer, task.database, kUnavailableDatabase,
                             message);
}

int CBackup::RunMySqlTask(TaskInfo task, const std::string&, const std::string&, std::string& message) {
    return RecordUnavailable(task, kLogMySql, kLogTypeMySql, task.database, kUnavailableDatabase, message);
}

int CBackup::RecordUnavailable(const TaskInfo& task, int category, int type, const std::string& item,
                               const std::string& text, std::string& message) {
    CQelLog log;
    log.SetCategory(category);
    log.SetType(type);
    log.SetTaskId(task.id);
    log.SetTaskName(task.name);
    log.SetItem(item.empty() ? "---" : item);
    log.SetTarget(task.dest.empty() ? "---" : task.dest);
    log.Start();
    log.SetResult(kLogFailed);
    log.SetMessage(text);
    log.Write();
    message = text;
    return 0;
}

}  // namespace zov
