#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/mssql/SqlOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "platform/Paths.h"
#include "support/ChinaTimeClock.h"
#include "support/MySqlTestServer.h"
#include "support/RecordingJob.h"
#include "support/StoredTask.h"
#include "support/TdsPeer.h"
#include "support/TempProgramDir.h"

// The status lines the user reads while differential, SQL Server and MySQL runs work, as the system words
// them.
namespace zov {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMarker = "qel_temp_del~~~~";

// A program folder at 2024-03-05 14:07:09 (UTC+8) with a source "src/Work Files" and the storage "bak",
// the test MariaDB server and a TDS peer holding the database "sales".
class BackupStatusLinesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/");
        test::UseTestServer(server_);
        peer_ = std::make_unique<test::TdsPeer>(program_ / "peer", R"({"databases": ["master", "sales"]})");
        ASSERT_NE(peer_->port(), 0);
        const IniFile config(ConfigIniPath());
        config.Write("Host", "MSSQL", "127.0.0.1");
        config.Write("Port", "MSSQL", std::to_string(peer_->port()));
        config.Write("User", "MSSQL", "sa");
        config.Write("Password", "MSSQL", "secret");
        config.Write("ServerAccount", "MSSQL", "nobody");
    }

    void TearDown() override {
        if (!database_.empty())
            test::RunSql(server_, "DROP DATABASE IF EXISTS " + test::QuotedName(database_) + ";");
    }

    TaskInfo StoredTask(int flags, int sqlType, const std::string& databases) const {
        TaskInfo task;
        task.name = "状态";
        task.flags = flags;
        task.sqlType = sqlType;
        task.database = databases;
        task.instance = "MSSQLSERVER";
        task.serviceName = test::kTestServerService;
        task.rootPassword = server_.rootPassword;
        task.dest = storage_;
        task.times = "01:00";
        return test::StoreInTaskDb(task);
    }

    TaskInfo DiffTask(int flags) const {
        TaskInfo task;
        task.id = 12;
        task.name = "差异";
        task.flags = kTaskFile | flags;
        task.diff = true;
        task.basePeriod = 7;
        task.source = source_;
        task.dest = storage_;
        return task;
    }

    // A differential run of task at 14:08:00 after a base run at 14:07:09 and a change of the source.
    void RunAfterBase(TaskInfo task, const std::string& password, const JobContext& job) {
        task.password = password;
        std::string message;
        test::RecordingJob quiet;
        ASSERT_EQ(backup_.RunFileTask(task, rar_, message, quiet.Context()), 1) << message;
        test::WriteFile(source_ + "a.txt", "changed");
        fs::remove(source_ + "gone.txt");
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 8, 0));
        if (password == "other") task.password = "another";
        backup_.RunFileTask(task, rar_, message, job);
    }

    // The status lines without their ends, with the random part of work folder names of the cache as "*".
    static std::vector<std::string> Lines(const test::RecordingStatus& status) {
        static const std::regex random("zovsvc_[A-Za-z0-9]{5}");
        std::vector<std::string> lines;
        for (const std::string& line : status.Lines()) {
            if (line != test::RecordingStatus::kEnd)
                lines.push_back(std::regex_replace(line, random, "zovsvc_*"));
        }
        return lines;
    }

    test::TempProgramDir program_;
    test::ChinaTimeClock time_{2024, 3, 5, 14, 7, 9};
    test::MySqlTestServer server_ = test::TestServer();
    std::unique_ptr<test::TdsPeer> peer_;
    const std::string source_ = program_ / "src/Work Files/";
    const std::string storage_ = program_ / "bak";
    const std::string rar_ = test::BuiltProgram("rar");
    std::string database_;
    CBackup backup_;
};

TEST_F(BackupStatusLinesTest, RunsTellWhatTheyDoInTheSystemsWords) {
    database_ = test::UniqueDatabase("status");
    test::RunSql(server_, "CREATE DATABASE " + test::QuotedName(database_) + ";\nUSE " +
                              test::QuotedName(database_) + ";\nCREATE TABLE t (id INT);\n");

    const std::string source = source_.substr(0, source_.size() - 1);
    const std::string dated = storage_ + "/2024-03-05/";
    const std::string sets = storage_ + "/diff/Work Files_20240305140709/";
    const std::string baseWork = dated + "20240305140709.12.partial/";
    const std::string setWork = sets + "20240305140800.12.partial/";
    const std::string cache = program_ / "cache/zovsvc_*/";
    const std::string archiveBase = dated + "Work Files_20240305140709.rar";
    const std::string unpack = "[文件备份]解压基准库[" + archiveBase + "]到临时目录[" + cache +
                               "]存储名[20240305140800" + kMarker + "]";
    const std::string bak = cache + "sales_20240305140709.bak";
    const std::string sqlBackup = "[MSSQL备份]备份实例[MSSQLSERVER]的数据库[sales]至[" + bak + "]";
    const std::string sqlCompress =
        "[MSSQL备份]压缩实例[MSSQLSERVER]的数据库[sales]的备份文件[" + bak + "]至[" + dated + "]";
    const auto sqlServer = [&](const std::string& databases) {
        return [this, databases](const JobContext& job) {
            std::string message;
            backup_.RunSqlServerTask(StoredTask(kTaskCompress, kSqlServer, databases), "2024-03-05", rar_,
                                     message, job);
        };
    };
    struct Case {
        const char* what;
        std::function<void(const JobContext&)> run;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"differential task, new base compressed",
         [&](const JobContext& job) {
             std::string message;
             backup_.RunFileTask(DiffTask(kTaskCompress), rar_, message, job);
         },
         {"[文件备份]压缩文件夹[" + source + "]至临时目录[" + baseWork +
              "]存储名[Work Files_20240305140709.rar]",
          "[文件备份]复制文件夹[" + baseWork + "]至[" + dated + "]",
          "[文件备份]删除临时文件[" + baseWork + "]"}},
        {"differential task, new base copied",
         [&](const JobContext& job) {
             std::string message;
             backup_.RunFileTask(DiffTask(0), rar_, message, job);
         },
         {"[文件备份]复制文件夹[" + source + "]至[" + dated + "]"}},
        {"differential set compressed",
         [&](const JobContext& job) { RunAfterBase(DiffTask(kTaskCompress), "", job); },
         {unpack,
          "[文件备份]压缩文件夹[" + source + "]至[" + setWork + "]存储名[20240305140800]基本库[" +
              archiveBase + "]",
          "[文件备份]复制文件夹内容[" + setWork + "]至[" + sets + "]",
          "[文件备份]删除临时文件[" + setWork + "]", "[文件备份]删除临时文件[" + cache + "]"}},
        {"differential set compressed through a filter",
         [&](const JobContext& job) {
             TaskInfo task = DiffTask(kTaskCompress | kTaskFilter);
             task.filter.Add("*.tmp");
             RunAfterBase(task, "", job);
         },
         {unpack,
          "[文件备份]压缩文件夹[" + source + "]至[" + setWork + "]存储名[20240305140800]基准库[" +
              archiveBase + "]",
          "[文件备份]复制文件[" + setWork + "]至[" + sets + "]", "[文件备份]删除临时文件[" + setWork + "]",
          "[文件备份]删除临时文件[" + cache + "]"}},
        {"differential set copied",
         [&](const JobContext& job) { RunAfterBase(DiffTask(0), "", job); },
         {"[文件备份]复制文件[" + source + "]至[" + sets + "20240305140800]基本库[" + dated +
              "Work Files_20240305140709]",
          "[文件备份]删除临时文件[" + cache + "]"}},
        {"base that cannot be unpacked",
         [&](const JobContext& job) { RunAfterBase(DiffTask(kTaskCompress), "other", job); },
         {unpack, "[文件备份]删除临时文件[" + cache + "20240305140800" + kMarker + "]"}},
        {"SQL Server, every database",
         sqlServer("?????"),
         {"[MSSQL备份]开始备份[MSSQLSERVER]实例下的所有数据库", sqlBackup,
          sqlCompress + "存储名[sales_20240305140709]", "[MSSQL备份]删除临时文件[" + cache + "]"}},
        {"SQL Server, chosen databases",
         sqlServer("sales"),
         {"[MSSQL备份]开始备份[MSSQLSERVER]实例下的部分数据库", sqlBackup, sqlCompress,
          "[MSSQL备份]删除临时文件[" + cache + "]"}},
        {"MySQL, chosen databases",
         [&](const JobContext& job) {
             std::string message;
             backup_.RunMySqlTask(StoredTask(kTaskCompress, kMySql, database_), "2024-03-05", rar_, message,
                                  job);
         },
         {"[MySQL备份]复制数据库目录[" + WithTrailingSlash(server_.dataDir) + database_ + "]至[" + cache +
              database_ + ".sql]",
          "[MySQL备份]压缩数据库[" + database_ + "]至[" + dated + "]存储名[" + database_ +
              "_20240305140709.rar]",
          "[MySQL备份]删除临时文件[" + cache + "]"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(source_);
        test::WriteFile(source_ + "a.txt", "alpha");
        test::WriteFile(source_ + "gone.txt", "gone");
        fs::remove_all(storage_);
        fs::create_directories(storage_);
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
        test::RecordingJob job;
        c.run(job.Context());
        EXPECT_EQ(Lines(job.status), c.lines) << c.what;
    }
}

}  // namespace
}  // namespace zov
