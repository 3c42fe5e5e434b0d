#include "gui/restore/SqlServerRestoreJob.h"

#include <stop_token>

#include "engine/files/BackupNames.h"
#include "engine/files/CacheFolder.h"
#include "engine/mssql/FolderAcl.h"
#include "engine/mssql/SqlOperator.h"
#include "engine/restore/PasswordRetry.h"
#include "engine/restore/RestoreRecord.h"
#include "engine/util/CommonPaths.h"
#include "platform/TraverseGrant.h"

namespace zov::gui {
namespace {

constexpr const char* kFailedCaption = "失败";

RestoreBox Failed(const std::string& text) {
    return {false, "SQL Server数据库还原失败" + text, kFailedCaption};
}

}  // namespace

RestoreBox RestoreSqlServerDatabase(const SqlRestoreRequest& request, const std::string& rarPath,
                                    const JobContext& job) {
    CQelLog record =
        RestoreRecord(kLogSqlServer, kLogTypeSqlServerRestore, request.taskId, "---", request.backupFile);
    record.SetTarget(request.backupFile);

    const std::string title(BackupTitle(LastPathLevel(request.backupFile), false));
    if (title.empty()) return Failed(":备份文件" + request.backupFile + "无效");
    CacheWorkFolder work;
    if (work.path().empty()) return Failed(":无法建立临时文件夹");
    // The server's account reads the unpacked file there while the passage is held.
    TraverseGrant serverPassage;
    std::string message;
    if (!GrantEveryoneAccess(work.path(), serverPassage, message)) return Failed(":" + message);
    const RestoreExtract extract{request.backupFile, work.path(), request.password, nullptr,
                                 request.backupFile};
    if (ExtractWithPasswordRetry(extract, rarPath, message, job) != 0) return Failed(":解压失败" + message);

    const std::string bak = work.path() + title + ".bak";
    CSQLOperator sql;
    const std::stop_callback cancel(job.stop, [&sql] { sql.Cancel(); });
    // A failure here still lets the restore try: it connects anew and says what is wrong.
    sql.ConnectForRestore(request.instance, request.database);
    const bool restored = sql.RestoreDatabase(request.instance, request.database, bak);
    // A restore that ended well is recorded, whatever stop came after it.
    if (!restored && job.stop.stop_requested()) return Failed("\n还原被中断");
    record.SetResult(restored ? kLogSucceeded : kLogFailed);
    record.SetMessage(restored ? "" : sql.message());
    record.Write();
    if (!restored) return Failed("\n" + sql.message());
    return {true, "SQL Server数据库还原成功", "成功"};
}

}  // namespace zov::gui
