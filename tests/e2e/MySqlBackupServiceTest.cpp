#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "engine/archive/ZipOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerLocal.h"
#include "support/MySqlTestServer.h"
#include "support/ScheduleMinute.h"
#include "support/TempProgramDir.h"
#include "support/WaitUntil.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kServiceName = "ZovSvcx";

using test::WaitUntil;

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// The real service in a program folder of its own, its MySQL tasks run against the test server.
class MySqlBackupServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* program : {"zovsvc", "rar"})
            fs::copy_file(test::BuiltProgram(program), program_ / program);
        test::UseTestServer(server_);
        manager_ = std::make_unique<LocalServiceManager>(program_ / "run/services/");
    }

    void TearDown() override {
        if (manager_) {
            manager_->Stop(kServiceName);
            EXPECT_TRUE(WaitUntil([&] { return manager_->GetState(kServiceName) == kServiceStopped; }, 20s));
            manager_->Remove(kServiceName);
        }
        for (const std::string& database : databases_) {
            test::RunSql(server_, "DROP DATABASE IF EXISTS " + test::QuotedName(database) + ";");
        }
    }

    std::string MakeDatabase(const std::string& prefix, const std::string& rows) {
        const std::string database = test::UniqueDatabase(prefix);
        databases_.push_back(database);
        test::RunSql(server_,
                     "CREATE DATABASE " + test::QuotedName(database) + " CHARACTER SET utf8mb4;\nUSE " +
                         test::QuotedName(database) +
                         ";\nCREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(40)) CHARACTER SET "
                         "utf8mb4;\n" +
                         rows);
        return database;
    }

    TaskInfo AddTask(CQelXML& store, const std::string& name, const std::string& databases,
                     const std::string& time) {
        TaskInfo task;
        task.name = name;
        task.flags = 0x06;
        task.sqlType = kMySql;
        task.serviceName = test::kTestServerService;
        task.database = databases;
        task.rootPassword = server_.rootPassword;
        task.password = "档案 pass";
        task.dest = program_ / ("bak/" + name);
        task.times = time;
        EXPECT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));
        return task;
    }

    // The MySQL log lines of a task, split into columns.
    std::vector<std::vector<std::string>> LogLines(const std::string& date, int id) const {
        std::vector<std::vector<std::string>> lines;
        std::istringstream text(test::ReadFile(program_ / ("Log/MySQL/" + date + ".log")));
        for (std::string line; std::getline(text, line);) {
            std::vector<std::string> columns;
            std::istringstream fields(line);
            for (std::string field; std::getline(fields, field, '\t');) columns.push_back(field);
            columns.resize(10);
            if (columns[2] == std::to_string(id)) lines.push_back(columns);
        }
        return lines;
    }

    test::TempProgramDir program_;
    test::MySqlTestServer server_ = test::TestServer();
    std::unique_ptr<LocalServiceManager> manager_;
    std::vector<std::string> databases_;
};

TEST_F(MySqlBackupServiceTest, ChosenAndAllDatabasesDueThisMinute) {
    const std::string shop =
        MakeDatabase("shop", "INSERT INTO items VALUES (1, 'plain'), (2, '中文'), (3, 'smile 😀');\n");
    const std::time_t minute = test::ScheduleMinute();
    const std::string time = FormatLocalTime(minute, "%H:%M");
    const std::string date = FormatLocalTime(minute, "%Y-%m-%d");

    CQelXML store;
    store.SetFilePath(TaskDbPath());
    ASSERT_TRUE(store.Load());
    const TaskInfo chosen = AddTask(store, "chosen", shop + "|nosuch", time);
    const TaskInfo all = AddTask(store, "all", "?????", time);

    ServiceConfig config;
    config.name = kServiceName;
    config.displayName = kServiceName;
    config.command = {program_ / "zovsvc"};
    ASSERT_TRUE(manager_->Install(config));
    ASSERT_TRUE(manager_->Start(kServiceName));
    const IniFile temp(TempIniPath());
    auto state = [&](const TaskInfo& task, const char* section) {
        return temp.Read("TIME_" + std::to_string(task.id), section);
    };
    ASSERT_TRUE(WaitUntil(
        [&] {
            return (!state(chosen, "SUCCEED").empty() || !state(chosen, "FAILED").empty()) &&
                   (!state(all, "SUCCEED").empty() || !state(all, "FAILED").empty());
        },
        120s));
    // A database that does not exist fails its task; its other database is backed up.
    EXPECT_EQ(state(chosen, "FAILED"), time);
    EXPECT_EQ(state(all, "SUCCEED"), time);

    const std::vector<std::vector<std::string>> chosenLines = LogLines(date, chosen.id);
    ASSERT_EQ(chosenLines.size(), 2u) << test::ReadFile(program_ / ("Log/MySQL/" + date + ".log"));
    const std::string chosenDated = chosen.dest + "/" + date + "/";
    const std::vector<std::string> chosenArchives = Entries(chosenDated);
    ASSERT_EQ(chosenArchives.size(), 1u);
    const std::string archive = chosenArchives[0];
    EXPECT_TRUE(archive.starts_with(shop + "_") && archive.ends_with(".rar") &&
                archive.size() == shop.size() + 1 + 14 + 4)
        << archive;
    EXPECT_EQ(chosenLines[0][5], shop);
    EXPECT_EQ(chosenLines[0][6], chosenDated + archive);
    EXPECT_EQ(chosenLines[0][8], "成功");
    EXPECT_EQ(chosenLines[1][5], "nosuch");
    EXPECT_EQ(chosenLines[1][8], "失败");
    EXPECT_EQ(chosenLines[1][9], "备份MySQL数据库时，指定的数据库名nosuch无效");

    // One archive and one good record per database of the server.
    std::set<std::string> expected;
    std::istringstream shown(test::RunSql(server_, "SHOW DATABASES;"));
    for (std::string name; std::getline(shown, name);) {
        if (name != "information_schema") expected.insert(name);
    }
    std::set<std::string> archived;
    for (const std::string& name : Entries(all.dest + "/" + date))
        archived.insert(name.substr(0, name.size() - 19));
    EXPECT_EQ(archived, expected);
    const std::vector<std::vector<std::string>> allLines = LogLines(date, all.id);
    EXPECT_EQ(allLines.size(), expected.size());
    for (const auto& line : allLines) EXPECT_EQ(line[8], "成功") << line[5] << ": " << line[9];

    // The dump loads into a fresh database with the same rows, 4-byte characters included.
    CZipOperator zip(program_ / "rar");
    ASSERT_EQ(zip.ExtractFile(chosenDated + archive, program_ / "out", chosen.password), 0) << zip.message();
    const std::string copy = MakeDatabase("copy", "");
    test::RunSql(server_, "DROP TABLE items;\n" + test::ReadFile(program_ / ("out/" + shop + ".sql")), copy);
    const std::string rows = "SELECT id, name, HEX(name) FROM items ORDER BY id;";
    EXPECT_EQ(test::RunSql(server_, rows, copy), test::RunSql(server_, rows, shop));
    EXPECT_NE(test::RunSql(server_, rows, copy).find("smile 😀"), std::string::npos);

    // Nothing of the runs is left: no work folder, option file or dump.
    EXPECT_TRUE(Entries(program_ / "cache").empty());
    for (const auto& entry : fs::recursive_directory_iterator(program_.path())) {
        const std::string name = entry.path().filename();
        EXPECT_FALSE(name.ends_with(".cnf") || name.ends_with(".bat") ||
                     (name.ends_with(".sql") && !entry.path().string().starts_with(program_ / "out/")))
            << entry.path();
    }
}

}  // namespace
}  // namespace zov
