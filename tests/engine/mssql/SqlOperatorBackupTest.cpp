#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "SqlServerTestSupport.h"
#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::SqlServerTest;

constexpr const char* kStamp = "20240305140709";
constexpr const char* kCannotOpen = "Cannot open backup device. Operating system error 5(Access is denied.).";

// The content of the .bak inside an archive.
std::string BakInArchive(const std::string& rar, const std::string& archive, const std::string& out) {
    CZipOperator zip(rar);
    if (zip.ExtractFile(archive, out, "") != 0) return "";
    for (const auto& entry : fs::directory_iterator(out)) return test::ReadFile(entry.path().string());
    return "";
}

// The first database's backup answers an informational message, then errors 3201 and 3013 after it
// wrote part of its file; the second is written into the same temporary folder and succeeds.
TEST_F(SqlServerTest, AFailedDatabaseFailsAloneAndTheRunFails) {
    StartPeer(R"({"databases": ["master", "model", "bad", "good"], "rules": [
        {"match": "^backup database \\[bad\\]", "write_bak": true, "reply": [
            {"info": [4035, "Processed 8 pages."]}, {"done_more": true},
            {"error": [3201, ")" +
              std::string(kCannotOpen) + R"("]},
            {"error": [3013, "BACKUP DATABASE is terminating abnormally."]}]}]})");
    const int id = StoreTask("?????");
    TaskInfo task;
    task.id = id;
    task.flags = kTaskCompress;
    task.sqlType = kSqlServer;
    task.database = "?????";
    task.dest = storage_;
    std::string message;
    CBackup backup;
    EXPECT_EQ(backup.RunSqlServerTask(task, "2024-03-05", rar_, message, job_.Context()), 0);
    EXPECT_NE(message.find(kCannotOpen), std::string::npos) << message;

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0][5], "bad");
    EXPECT_EQ(lines[0][8], "失败");
    EXPECT_NE(lines[0][9].find(kCannotOpen), std::string::npos) << lines[0][9];
    EXPECT_EQ(lines[1][5], "good");
    EXPECT_EQ(lines[1][6], dated_ + "good_" + kStamp + ".rar");
    EXPECT_EQ(lines[1][8], "成功") << lines[1][9];
    EXPECT_EQ(Names(dated_), (std::set<std::string>{std::string("good_") + kStamp + ".rar"}));
    EXPECT_TRUE(BakInArchive(rar_, dated_ + "good_" + kStamp + ".rar", program_ / "out")
                    .starts_with("TDSPEER BACKUP good\n"));
    EXPECT_TRUE(CacheEntries().empty());
}

// A database the backups leave out is passed over without a record.
TEST_F(SqlServerTest, SelectedNamesAreMatchedToTheServersSpellingOnce) {
    StartPeer(R"({"databases": ["master", "Sales", "hr2", "NorthWind"]})");
    const std::string selected = "sales|SALES|MASTER|Sales|northwind";
    const int id = StoreTask(selected);
    CSQLOperator sql;
    EXPECT_EQ(sql.BackupSelectedDatabases(id, {"sales", "SALES", "MASTER", "Sales", "northwind"}, storage_,
                                          "2024-03-05", "", rar_, job_.Context()),
              1)
        << sql.message();
    std::vector<std::string> backups;
    for (const std::string& batch : peer_->Batches()) {
        if (batch.starts_with("backup database")) backups.push_back(batch);
    }
    const std::string temp = program_ / ("cache/" + backups.at(0).substr(backups[0].find("zovsvc_"), 12));
    EXPECT_EQ(backups, (std::vector<std::string>{"backup database [Sales] to disk='" + temp + "/Sales_" +
                                                 kStamp + ".bak'"}));
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][5], "Sales");
    EXPECT_EQ(Names(dated_), (std::set<std::string>{std::string("Sales_") + kStamp + ".rar"}));
}

// A selected database the instance does not list fails the run with a record naming it; the listed ones
// are still backed up, whatever the order.
TEST_F(SqlServerTest, ASelectedDatabaseTheInstanceLacksFailsTheRun) {
    const struct {
        const char* selected;
        std::size_t missingLine;
    } cases[] = {{"Sales|gone", 1}, {"gone|sales", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected);
        StartPeer(R"({"databases": ["master", "Sales", "hr2"]})");
        TaskInfo task;
        task.id = StoreTask(c.selected);
        task.flags = kTaskCompress;
        task.sqlType = kSqlServer;
        task.database = c.selected;
        task.dest = storage_;
        test::RecordingJob job;
        std::string message;
        CBackup backup;
        EXPECT_EQ(backup.RunTask(task, rar_, message, job.Context()), 0);
        EXPECT_EQ(message, "备份数据库 gone 时指定的数据库实例中，没有对应的数据库");

        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 2u);
        const auto& missing = lines[c.missingLine];
        const auto& backedUp = lines[1 - c.missingLine];
        EXPECT_EQ(missing[3], "库备份");
        EXPECT_EQ(missing[5], "gone");
        EXPECT_EQ(missing[6], storage_);
        EXPECT_EQ(missing[8], "失败");
        EXPECT_EQ(missing[9], message);
        EXPECT_EQ(backedUp[5], "Sales");
        EXPECT_EQ(backedUp[8], "成功") << backedUp[9];
        EXPECT_TRUE(fs::exists(backedUp[6])) << backedUp[6];
        fs::remove_all(program_ / "Log/SQL Server");
    }
}

// Names that map to one file name ("a/b" and "a_b") in one run, and a second task backing up one of them in
// the same second: every archive is kept under the next free stamp, holding its own database.
TEST_F(SqlServerTest, ArchivesOfOneNameNeverReplaceEachOther) {
    StartPeer(R"({"databases": ["master", "a/b", "a_b"]})");
    CSQLOperator all;
    EXPECT_EQ(all.BackupAllDatabases(StoreTask("?????"), storage_, "2024-03-05", "", rar_, job_.Context()), 1)
        << all.message();
    CSQLOperator one;
    EXPECT_EQ(one.BackupSelectedDatabases(StoreTask("a_b"), {"a_b"}, storage_, "2024-03-05", "", rar_,
                                          job_.Context()),
              1)
        << one.message();

    const std::vector<std::pair<std::string, std::string>> expected = {{"a/b", "a_b_20240305140709.rar"},
                                                                       {"a_b", "a_b_20240305140710.rar"},
                                                                       {"a_b", "a_b_20240305140711.rar"}};
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), expected.size());
    std::set<std::string> archives;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [database, archive] = expected[i];
        EXPECT_EQ(lines[i][5], database);
        EXPECT_EQ(lines[i][6], dated_ + archive);
        EXPECT_EQ(lines[i][8], "成功") << lines[i][9];
        EXPECT_TRUE(BakInArchive(rar_, dated_ + archive, program_ / ("out" + std::to_string(i)))
                        .starts_with("TDSPEER BACKUP " + database + "\n"))
            << archive;
        archives.insert(archive);
    }
    EXPECT_EQ(Names(dated_), archives);
}

TEST_F(SqlServerTest, NoServerGivesAClearMessageAndNoRecord) {
    PointAt(test::ClosedPort());
    test::WriteFile(program_ / "peer/odbcinst.ini", "[FreeTDS]\nDriver=" + test::FreeTdsDriverPath() + "\n");
    ::setenv("ODBCSYSINI", (program_ / "peer").c_str(), 1);
    const int id = StoreTask("?????");
    CSQLOperator sql;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sql.BackupAllDatabases(id, storage_, "2024-03-05", "", rar_, job_.Context()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    const std::string port = IniFile(ConfigIniPath()).Read("Port", "MSSQL");
    EXPECT_TRUE(sql.message().starts_with("连接SQL Server 127.0.0.1:" + port + " 失败：")) << sql.message();
    EXPECT_EQ(sql.message().find("w}d"), std::string::npos) << sql.message();
    EXPECT_FALSE(fs::exists(program_ / "Log/SQL Server"));
    EXPECT_TRUE(CacheEntries().empty());
}

// A stop cancels the statement the server is working on (an attention reaches it); that database gets no
// record.
TEST_F(SqlServerTest, AStopCancelsTheRunningBackup) {
    StartPeer(R"({"databases": ["slow"], "rules": [{"match": "^backup database", "delay": 60}]})");
    const int id = StoreTask("?????");
    CSQLOperator sql;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        job_.stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sql.BackupAllDatabases(id, storage_, "2024-03-05", "", rar_, job_.Context()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_FALSE(fs::exists(program_ / "Log/SQL Server"));
    EXPECT_TRUE(CacheEntries().empty());
    bool attention = false;
    for (auto& record : peer_->Records()) attention = attention || record["kind"] == "attention";
    EXPECT_TRUE(attention);
}

// A run keeps its start in temp.ini while it works and leaves it there when its stop cuts it short, so
// that the record of the interrupted run finds the work folder a kill would have left; a run that ends
// takes it away.
TEST_F(SqlServerTest, ARunCutShortLeavesItsStartForTheRecordOfTheInterruptedRun) {
    const struct {
        const char* what;
        const char* peer;
        bool stop;
        std::string start;
    } cases[] = {
        {"ended", R"({"databases": ["sales"]})", false, ""},
        {"cut short", R"({"databases": ["sales"], "rules": [{"match": "^backup database", "delay": 60}]})",
         true, "2024-03-05 14:07:09"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartPeer(c.peer);
        TaskInfo task;
        task.id = StoreTask("?????");
        task.flags = kTaskCompress;
        task.sqlType = kSqlServer;
        task.database = "?????";
        task.dest = storage_;
        test::RecordingJob job;
        std::jthread stopper([&] {
            if (!c.stop) return;
            std::this_thread::sleep_for(std::chrono::seconds(1));
            job.stop.request_stop();
        });
        std::string message;
        CBackup backup;
        EXPECT_EQ(backup.RunTask(task, rar_, message, job.Context()), c.stop ? 0 : 1) << message;
        stopper.join();
        const std::string key = std::to_string(task.id);
        EXPECT_EQ(IniFile(TempIniPath()).Read(key, kCurrentTaskSection), c.start);
        if (!c.stop) continue;
        const std::string left = dated_ + PartialSetName(kStamp, task.id);
        fs::create_directories(left);
        backup.RecordInterruptedRun(task, RecordedRunStart(task.id));
        EXPECT_FALSE(fs::exists(left));
        ASSERT_FALSE(LogLines().empty());
        EXPECT_EQ(LogLines().back()[9], "备份被中断（服务停止或进程被终止），未完成的备份已删除");
        EXPECT_EQ(IniFile(TempIniPath()).Read(key, kCurrentTaskSection), "");
    }
}

TEST_F(SqlServerTest, RunChecksBeforeConnecting) {
    struct Case {
        std::string what, storage, date, instance;
        bool stored;
        std::string message;
    };
    const Case cases[] = {
        {"missing storage", program_ / "none", "2024-03-05", "MSSQLSERVER", true,
         "备份数据库时，目标文件夹 " + program_ / "none" + " 不存在"},
        {"no date folder", storage_, "", "MSSQLSERVER", true, "备份数据库时，未指定存储文件（夹）名"},
        {"task not stored", storage_, "2024-03-05", "MSSQLSERVER", false,
         "备份数据库时，根据ID（99）获取任务信息失败。"},
        {"storage folder under a file", storage_, "file/x", "MSSQLSERVER", true,
         "SQL Server备份时创建存储目录[" + storage_ + "/file/x/]失败，错误号20"},
    };
    test::WriteFile(storage_ + "/file", "");
    for (const Case& c : cases) {
        const int id = c.stored ? StoreTask("?????", c.instance) : 99;
        CSQLOperator sql;
        EXPECT_EQ(sql.BackupAllDatabases(id, c.storage, c.date, "", rar_, job_.Context()), 0) << c.what;
        EXPECT_EQ(sql.message(), c.message) << c.what;
    }
    EXPECT_TRUE(CacheEntries().empty());
    EXPECT_FALSE(fs::exists(program_ / "Log/SQL Server"));
}

}  // namespace
}  // namespace zov
