#include "gui/restore/MySqlRestoreJob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// The dump, opened without following a link: a regular file or nothing (errno tells why).
class DumpFile {
  public:
    explicit DumpFile(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)) {
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
            errno = EINVAL;
        }
    }
    ~DumpFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

// The statement that makes the database where it is missing; the dump holds none.
std::string CreateDatabaseStatement(const std::string& database) {
    std::string name;
    for (char c : database) name += c == '`' ? std::string("``") : std::string(1, c);
    return "CREATE DATABASE IF NOT EXISTS `" + name + "` CHARACTER SET utf8mb4";
}

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
    if (!MySqlClientHasSandbox(client)) {
        const std::string text =
            client + "不支持--sandbox选项，SQL文件中的系统命令会以root身份运行，不予还原";
        return fail(text, failedText + text);
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
    const DumpFile dumpFile(dump);
    if (dumpFile.fd() < 0) {
        const std::string text = errno == ENOENT
                                     ? "备份文件中没有SQL文件" + LastPathLevel(dump)
                                     : "备份文件中的SQL文件" + LastPathLevel(dump) + "不是普通文件，不予还原";
        return fail(text, failedText + text);
    }
    const MySqlClientOptions options(MySqlServerConnection(server), request.rootPassword);
    if (!options.ok()) return fail(options.error(), failedText + options.error());
    const std::vector<std::string> common{client, options.Argument(), "--sandbox",
                                          "--default-character-set=utf8mb4"};
    std::vector<std::string> create = common;
    create.push_back("--execute=" + CreateDatabaseStatement(request.database));
    std::vector<std::string> load = common;
    load.push_back("--database=" + request.database);
    const std::string errors = work.path() + "errors.txt";
    MySqlToolRun run = RunBatchFile(create, {"", "", errors}, kClientTimeout, job.stop, options.server());
    if (run.succeeded) {
        run = RunBatchFile(load, {"", "", errors, dumpFile.fd()}, kClientTimeout, job.stop, options.server());
    }
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
