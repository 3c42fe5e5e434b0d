#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/mysql/MySqlRun.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "platform/Clock.h"
#include "support/DaemonCopy.h"
#include "support/InstalledClock.h"
#include "support/MySqlTestServer.h"
#include "support/RecordingJob.h"
#include "support/SilentServer.h"
#include "support/StoredTask.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Notes, at each sync of a run's output, the dumps still in the cache folder.
class DumpWatch : public CBackup {
  public:
    explicit DumpWatch(std::string cache) : cache_(std::move(cache)) {}

    int syncs = 0;
    std::vector<std::string> dumpsAtSync;

  protected:
    int SyncToDisk(int folderFd) override {
        ++syncs;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(cache_, error)) {
            if (entry.path().extension() == ".sql") dumpsAtSync.push_back(entry.path());
        }
        return CBackup::SyncToDisk(folderFd);
    }

  private:
    std::string cache_;
};

// The MySQL jobs against the real server, found as the service kTestServerService.
class BackupMySqlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::UseTestServer(server_);
        rar_ = test::BuiltProgram("rar");
    }

    void TearDown() override {
        for (const std::string& database : databases_)
            test::RunSql(server_, "DROP DATABASE IF EXISTS " + test::QuotedName(database) + ";");
    }

    // A new database with one table of three rows (a 4-byte character among them).
    std::string MakeDatabase(const std::string& prefix) {
        const std::string database = test::UniqueDatabase(prefix);
        databases_.push_back(database);
        test::RunSql(server_,
                     "CREATE DATABASE " + test::QuotedName(database) + " CHARACTER SET utf8mb4;\nUSE " +
                         test::QuotedName(database) +
                         ";\nCREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(40)) CHARACTER SET "
                         "utf8mb4;\nINSERT INTO items VALUES (1, 'plain'), (2, '中文'), (3, 'smile 😀');\n");
        return database;
    }

    // A stored MySQL task of the databases.
    TaskInfo StoreTask(const std::string& databases, const std::string& rootPassword,
                       const std::string& service = test::kTestServerService) {
        TaskInfo task;
        task.name = "mysql";
        task.flags = 0x06;
        task.sqlType = kMySql;
        task.serviceName = service;
        task.database = databases;
        task.rootPassword = rootPassword;
        task.dest = program_ / "bak";
        task.times = "01:00";
        return test::StoreInTaskDb(task);
    }

    // The columns of the MySQL log lines of today.
    std::vector<std::vector<std::string>> LogLines() const {
        std::vector<std::vector<std::string>> lines;
        std::istringstream text(
            test::ReadFile(program_ / ("Log/MySQL/" + FormatLocalTime(Now(), "%Y-%m-%d") + ".log")));
        for (std::string line; std::getline(text, line);) {
            std::vector<std::string> columns;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, '\t');) columns.push_back(field);
            columns.resize(10);
            lines.push_back(columns);
        }
        return lines;
    }

    std::vector<std::string> Entries(const std::string& folder) const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    // A dump tool in the program folder (found before the one on PATH) running the shell text.
    void PlantDumpTool(const std::string& script) {
        test::WriteFile(program_ / "mariadb-dump", "#!/bin/sh\n" + script);
        fs::permissions(program_ / "mariadb-dump", fs::perms(0755));
    }

    test::TempProgramDir program_;
    test::MySqlTestServer server_ = test::TestServer();
    std::string rar_;
    std::vector<std::string> databases_;
    DumpWatch backup_{program_ / "cache"};
    test::RecordingJob job_;
};

// A hostile database name and the hostile root password of the server reach it unchanged; the archive is
// private and holds the dump with its 4-byte characters.
TEST_F(BackupMySqlTest, HostileNamesAndPasswordsReachTheServerUnchanged) {
    const std::string database = MakeDatabase("we\"ird $x %d \\y `z` ");
    const TaskInfo task = StoreTask(database, server_.rootPassword);
    std::string message;
    const std::string date = FormatLocalTime(Now(), "%Y-%m-%d");
    ASSERT_EQ(backup_.RunMySqlTask(task, date, rar_, message, job_.Context()), 1) << message;

    const std::string dated = program_ / ("bak/" + date + "/");
    const std::vector<std::string> archives = Entries(dated);
    ASSERT_EQ(archives.size(), 1u);
    EXPECT_TRUE(archives[0].starts_with(database + "_") && archives[0].ends_with(".rar")) << archives[0];
    EXPECT_EQ(archives[0].size(), database.size() + 1 + 14 + 4);
    struct stat info;
    ASSERT_EQ(stat((dated + archives[0]).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
    CZipOperator zip(rar_);
    ASSERT_EQ(zip.ExtractFile(dated + archives[0], program_ / "out", ""), 0) << zip.message();
    const std::string dump = test::ReadFile(program_ / ("out/" + database + ".sql"));
    EXPECT_NE(dump.find("smile 😀"), std::string::npos);
    EXPECT_NE(dump.find("中文"), std::string::npos);

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][5], database);
    EXPECT_EQ(lines[0][6], dated + archives[0]);
    EXPECT_EQ(lines[0][8], "成功");
    EXPECT_TRUE(Entries(program_ / "cache").empty());
    EXPECT_EQ(backup_.syncs, 1);
    EXPECT_TRUE(backup_.dumpsAtSync.empty()) << "the dump is deleted before the archive is synced";
}

// A refused login fails the database with the server's words at once (no retries) and writes no
// archive; an empty password is never waited for.
TEST_F(BackupMySqlTest, ARefusedLoginFailsAtOnceWithoutAnArchive) {
    const std::string database = MakeDatabase("refused");
    for (const std::string& password : {std::string("wrong"), std::string()}) {
        const TaskInfo task = StoreTask(database, password);
        std::string message;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(backup_.RunMySqlTask(task, "2024-05-01", rar_, message, job_.Context()), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << password;
        EXPECT_NE(message.find("Access denied for user 'root'"), std::string::npos) << message;
        const auto lines = LogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back()[8], "失败");
        EXPECT_EQ(lines.back()[9], message);
    }
    EXPECT_TRUE(Entries(program_ / "bak/2024-05-01").empty());
    EXPECT_TRUE(Entries(program_ / "cache").empty());
}

// Each database keeps its own record, and one failed database fails the job even when a later one
// succeeds.
TEST_F(BackupMySqlTest, AnyFailedDatabaseFailsTheJob) {
    const std::string database = MakeDatabase("later");
    const TaskInfo task = StoreTask("nosuch|" + database, server_.rootPassword);
    std::string message;
    EXPECT_EQ(backup_.RunMySqlTask(task, "2024-05-01", rar_, message, job_.Context()), 0);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0][5], "nosuch");
    EXPECT_EQ(lines[0][8], "失败");
    EXPECT_EQ(lines[0][9], "备份MySQL数据库时，指定的数据库名nosuch无效");
    EXPECT_EQ(lines[1][5], database);
    EXPECT_EQ(lines[1][8], "成功");
    EXPECT_EQ(Entries(program_ / "bak/2024-05-01").size(), 1u);
}

// A database whose folder holds nothing is recorded as skipped and told of through the asker (a box in the
// management program, nothing in the service); the databases after it are still backed up.
TEST_F(BackupMySqlTest, AnEmptyDatabaseIsSkippedWithAWarning) {
    const std::string empty = test::UniqueDatabase("empty");
    ASSERT_TRUE(fs::create_directory(server_.dataDir + "/" + empty));
    const std::string database = MakeDatabase("after");
    const TaskInfo task = StoreTask(empty + "|" + database, server_.rootPassword);
    std::string message;
    backup_.RunMySqlTask(task, "2024-05-01", rar_, message, job_.Context());
    fs::remove(server_.dataDir + "/" + empty);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0][5], empty);
    EXPECT_EQ(lines[0][8], "失败");
    EXPECT_EQ(lines[0][9], "数据库为空，被跳过。");
    EXPECT_EQ(lines[1][8], "成功");
    EXPECT_EQ(job_.asker.Prompts(),
              std::vector<std::string>{"警告: 备份MySQL数据库时，数据库" + empty + "内容为空，将被跳过。"});
}

// A dump tool that fails leaves no archive, even when it wrote part of a dump; an error that can pass is
// tried again as often as before (4 cycles of 6 runs), one that cannot is not.
TEST_F(BackupMySqlTest, AFailedDumpIsRetriedOnlyWhenItCanPassAndNeverArchived) {
    const std::string database = MakeDatabase("failing");
    struct Case {
        std::string error;
        int runs;
    };
    const Case cases[] = {{"mariadb-dump: Got error: 2013: Lost connection to server", 24},
                          {"mariadb-dump: Got error: 1049: \"Unknown database\"", 1}};
    // A failure to reach the server names where the dump went.
    const std::string where = "（MySQL服务器：" + server_.socket + "）";
    for (const Case& c : cases) {
        fs::remove(program_ / "runs");
        PlantDumpTool("echo run >> '" + program_ / "runs" + "'\necho 'CREATE TABLE half'\necho '" + c.error +
                      "' >&2\nexit 2\n");
        const TaskInfo task = StoreTask(database, server_.rootPassword);
        std::string message;
        EXPECT_EQ(backup_.RunMySqlTask(task, "2024-05-01", rar_, message, job_.Context()), 0);
        EXPECT_EQ(message, c.runs > 1 ? c.error + where : c.error);
        std::istringstream runs(test::ReadFile(program_ / "runs"));
        int count = 0;
        for (std::string line; std::getline(runs, line);) ++count;
        EXPECT_EQ(count, c.runs) << c.error;
        EXPECT_TRUE(Entries(program_ / "bak/2024-05-01").empty());
        EXPECT_EQ(LogLines().back()[8], "失败");
    }
    EXPECT_TRUE(Entries(program_ / "cache").empty());
}

// Two tasks back up one database in the same second: neither archive replaces the other, the later takes
// the next free stamp, and each holds what its own run dumped.
TEST_F(BackupMySqlTest, TwoTasksInOneSecondKeepBothArchives) {
    const std::string database = MakeDatabase("same");
    const TaskInfo first = StoreTask(database, server_.rootPassword);
    const TaskInfo second = StoreTask(database, server_.rootPassword);
    const test::InstalledClock clock(MakeLocalTime(2024, 5, 3, 10, 0, 0));
    std::string message;
    ASSERT_EQ(backup_.RunMySqlTask(first, "2024-05-03", rar_, message, job_.Context()), 1) << message;
    test::RunSql(server_, "INSERT INTO items VALUES (4, 'second run only');", database);
    ASSERT_EQ(backup_.RunMySqlTask(second, "2024-05-03", rar_, message, job_.Context()), 1) << message;

    const std::string dated = program_ / "bak/2024-05-03/";
    const std::vector<std::string> archives = {database + "_20240503100000.rar",
                                               database + "_20240503100001.rar"};
    EXPECT_EQ(Entries(dated), archives);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t i = 0; i < archives.size(); ++i) {
        EXPECT_EQ(lines[i][6], dated + archives[i]);
        EXPECT_EQ(lines[i][8], "成功");
        const std::string out = program_ / ("out" + std::to_string(i) + "/");
        CZipOperator zip(rar_);
        ASSERT_EQ(zip.ExtractFile(dated + archives[i], out, ""), 0) << zip.message();
        const std::string dump = test::ReadFile(out + database + ".sql");
        EXPECT_NE(dump.find("smile"), std::string::npos) << archives[i];
        EXPECT_EQ(dump.find("second run only") != std::string::npos, i == 1) << archives[i];
    }
}

// Two jobs at the same moment: each its own option file (0600, first option, the password never on the
// command line) and its own work folder for the dump.
TEST_F(BackupMySqlTest, JobsStartedTogetherUseTheirOwnFiles) {
    const std::string log = program_ / "calls";
    PlantDumpTool(
        "options=${1#--defaults-extra-file=}\n"
        "echo \"$options $(stat -c %a \"$options\") $(stat -c %a \"$(dirname \"$options\")\") "
        "$(readlink /proc/$$/fd/1) $*\" >> '" +
        log + "'\nsleep 1\nexec /usr/bin/mariadb-dump \"$@\"\n");
    const TaskInfo first = StoreTask(MakeDatabase("together"), server_.rootPassword);
    const TaskInfo second = StoreTask(MakeDatabase("together"), server_.rootPassword);
    int results[2] = {0, 0};
    std::string messages[2];
    test::RecordingJob otherJob;
    {
        std::jthread a([&] {
            results[0] = backup_.RunMySqlTask(first, "2024-05-02", rar_, messages[0], job_.Context());
        });
        std::jthread b([&] {
            results[1] = backup_.RunMySqlTask(second, "2024-05-02", rar_, messages[1], otherJob.Context());
        });
    }
    EXPECT_EQ(results[0], 1) << messages[0];
    EXPECT_EQ(results[1], 1) << messages[1];
    std::istringstream calls(test::ReadFile(log));
    std::vector<std::vector<std::string>> runs;
    for (std::string line; std::getline(calls, line);) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;) fields.push_back(word);
        runs.push_back(fields);
    }
    ASSERT_EQ(runs.size(), 2u);
    for (const auto& run : runs) {
        EXPECT_TRUE(run[0].starts_with(program_ / "cache/")) << run[0];
        EXPECT_EQ(run[1], "600");
        EXPECT_EQ(run[2], "700");
        EXPECT_TRUE(run[3].starts_with(program_ / "cache/") && run[3].ends_with(".sql")) << run[3];
        EXPECT_EQ(run[4], "--defaults-extra-file=" + run[0]);
        std::string arguments;
        for (const std::string& word : run) arguments += word + " ";
        EXPECT_EQ(arguments.find("pa\"ss"), std::string::npos) << arguments;
        EXPECT_NE(arguments.find("--default-character-set=utf8mb4"), std::string::npos) << arguments;
    }
    EXPECT_NE(runs[0][0], runs[1][0]);
    EXPECT_NE(fs::path(runs[0][3]).parent_path(), fs::path(runs[1][3]).parent_path());
    EXPECT_NE(fs::path(runs[0][0]).parent_path(), fs::path(runs[1][3]).parent_path());
    EXPECT_EQ(Entries(program_ / "bak/2024-05-02").size(), 2u);
    EXPECT_TRUE(Entries(program_ / "cache").empty());
}

// "All databases" are those the server the dumps reach lists. A server process nobody registered is asked
// for nothing unless root or a system account runs it: a login account's server on a folder of its own
// (which names one real database) decides nothing, and the folder of a believed one holds no database.
TEST_F(BackupMySqlTest, AllDatabasesAreThoseOfTheServerTheDumpsReach) {
    struct Case {
        std::string what, user;
        bool succeeded;
    };
    const Case cases[] = {{"a login account's server", "nobody", false}, {"root's server", "", true}};
    const std::string database = MakeDatabase("listed");
    ASSERT_EQ(chmod(program_.path().c_str(), 0755), 0);
    const std::string theirs = program_ / "theirs";
    fs::create_directories(theirs + "/" + database);
    fs::create_directories(theirs + "/planted");
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    std::set<std::string> expected;
    std::istringstream shown(test::RunSql(server_, "SHOW DATABASES;"));
    for (std::string name; std::getline(shown, name);) {
        if (name != "information_schema") expected.insert(name);
    }
    for (const Case& c : cases) {
        const std::string program = program_ / "sbin/zovtest-mariadbd";
        fs::remove(program);
        const pid_t server = test::StartDaemonCopy(program, {"--datadir=" + theirs}, c.user);
        const std::string date = c.user.empty() ? "root" : c.user;
        std::string message;
        const int result = backup_.RunMySqlTask(StoreTask("?????", server_.rootPassword, "zovtest-mariadbd"),
                                                date, rar_, message, job_.Context());
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        EXPECT_EQ(result, c.succeeded ? 1 : 0) << c.what << ": " << message;
        std::set<std::string> archived;
        for (const std::string& name : Entries(program_ / ("bak/" + date)))
            archived.insert(name.substr(0, name.size() - 19));
        EXPECT_EQ(archived, c.succeeded ? expected : std::set<std::string>()) << c.what;
        if (!c.succeeded) {
            EXPECT_EQ(message, "获取data目录失败。") << c.what;
        }
    }
}

// A server that takes the connection and never answers, on its socket or its port: every run ends within
// its bound (the client's connect time-out for the list of all databases, no progress for the dump of
// one) with a failure naming where it went.
TEST_F(BackupMySqlTest, AServerThatNeverAnswersEndsTheRunWithinItsBound) {
    const MySqlWaitBounds saved = MySqlBounds();
    SetMySqlBounds({2s, 3s});
    const std::string database = MakeDatabase("silent");
    const test::SilentServer port;
    const test::SilentServer socket(program_ / "silent.sock");
    ASSERT_FALSE(port.port().empty());
    ASSERT_FALSE(socket.path().empty());
    struct Case {
        std::string key, value, address, databases, failure;
        std::chrono::seconds bound;
    };
    const Case cases[] = {
        {"Socket", socket.path(), socket.path(), database, "没有任何进展", 3s},
        {"Port", port.port(), "127.0.0.1:" + port.port(), database, "没有任何进展", 3s},
        {"Socket", socket.path(), socket.path(), "?????", "Lost connection", 2s},
        {"Port", port.port(), "127.0.0.1:" + port.port(), "?????", "Lost connection", 2s},
    };
    const IniFile config(ConfigIniPath());
    for (const Case& c : cases) {
        config.Write("Socket", "MYSQL", "");
        config.Write(c.key, "MYSQL", c.value);
        std::string message;
        const auto start = std::chrono::steady_clock::now();
        const int result = backup_.RunMySqlTask(StoreTask(c.databases, server_.rootPassword), "2024-05-04",
                                                rar_, message, job_.Context());
        const auto took = std::chrono::steady_clock::now() - start;
        std::cout << c.key << " " << c.databases << ": " << took / 1ms << " ms\n";
        EXPECT_EQ(result, 0) << c.key << " " << c.databases;
        EXPECT_LT(took, c.bound + 5s) << c.key << " " << c.databases;
        EXPECT_NE(message.find(c.failure), std::string::npos) << message;
        EXPECT_NE(message.find(c.address), std::string::npos) << message;
        EXPECT_EQ(LogLines().back()[9], message);
    }
    EXPECT_TRUE(Entries(program_ / "bak/2024-05-04").empty());
    EXPECT_TRUE(Entries(program_ / "cache").empty());
    SetMySqlBounds(saved);
}

}  // namespace
}  // namespace zov
