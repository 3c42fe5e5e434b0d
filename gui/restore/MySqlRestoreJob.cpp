#include "gui/restore/MySqlRestoreJob.h"

#include <chrono>

#include "engine/files/BackupNames.h"
#include "engine/files/CacheFolder.h"
#include "engine/mysql/MySqlConnection.h"
#include "engine/mysql/MySqlDataDir.h"
#include "engine/mysql/MySqlRun.h"
#include "engine/mysql/MySqlTools.h"
#include "engine/restore/PasswordRetry.h"
#include "engine/restore/RestoreRecord.h"
#include "engine/restore/RestoreSet.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov::gui {
namespace {

constexpr const char* kFailedCaption = "失 败";
// The longest one restore may take.
constexpr auto kClientTimeout = std::chrono::hours(24);

RestoreBox Failed(const std::string& text) { return {false, text, kFailedCaption}; }

}  // namespace

RestoreBox RestoreMySqlDatabase(const MySqlRestoreRequest& request, const std::string& rarPath,
                                const JobContext& job) {
    CQelLog record = RestoreRecord(kLogMySql, kLogTypeMySqlRestore, request.taskId, "-", request.serviceName);
    record.SetTarget(request.backupFile);

    const MySqlDataDirSearch server = SearchMySqlDataDir(request.serviceName);
    if (server.dataDir.empty() || !IsDirectory(server.dataDir))
        return Failed("MySQL数据库还原失败:获取data目录失败");
    if (!IsRegularFile(request.backupFile)) return Failed("MySQL数据库还原失败: 备份文件无效");

    const auto fail = [&](const std::string& shown, const std::string& recorded) {
        if (job.stop.stop_requested()) return Failed("MySQL 数据库还原失败\n还原被中断");
        record.SetResult(kLogFailed);
        record.SetMessage(recorded);
        record.Write();
        return Failed("MySQL 数据库还原失败\n" + shown);
    };
    const std::string failedText = "还原MySQL数据库" + request.database + "失败。";
    const std::string client = FindMySqlTool(server.programFolder, kMySqlClients);
    if (client.empty()) {
        const std::string missing = WithTrailingSlash(ProgramDir()) + "mysql";
        return fail("文件：" + missing + "不存在。",
                    "还原MySQL数据库时，mysql.exe文件 " + missing + " 不存在。");
    }
    CacheWorkFolder work;
    if (work.path().empty()) return fail("无法建立临时文件夹", failedText + "无法建立临时文件夹");
    std::string message;
    const RestoreExtract extract{request.backupFile, work.path(), request.password, nullptr,
                                 request.backupFile};
    if (ExtractWithPasswordRetry(extract, rarPath, message, job) != 0)
        return fail(message, failedText + message);

    // The dump the backup wrote: the archive's title before its stamp.
    const std::string dump =
        work.path() + NameBeforeStamp(std::string(BackupTitle(LastPathLevel(request.backupFile), false))) +
        ".sql";
    if (!IsRegularFile(dump)) {
        const std::string text = "备份文件中没有SQL文件" + LastPathLevel(dump);
        return fail(text, failedText + text);
    }
    const MySqlClientOptions options(ReadMySqlConnection(), request.rootPassword);
    if (!options.ok()) return fail(options.error(), failedText + options.error());
    const std::vector<std::string> argv{client, options.Argument(), "--default-character-set=utf8mb4",
                                        "--database=" + request.database};
    const MySqlToolRun run =
        RunBatchFile(argv, {dump, "", work.path() + "errors.txt"}, kClientTimeout, job.stop);
    if (!run.succeeded) {
        const std::string text = run.errorText.empty() ? "执行SQL恢复指令失败！" : run.errorText;
        return fail(text, failedText + text);
    }
    // A client that ended well restored the database, whatever stop came after.
    record.SetResult(kLogSucceeded);
    record.Write();
    return {true, "MySQL 数据库 " + request.database + " 还原成功", "成 功"};
}

}  // namespace zov::gui
