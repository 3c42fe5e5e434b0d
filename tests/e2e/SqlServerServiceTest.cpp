#include <acl/libacl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "engine/archive/ZipOperator.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerLocal.h"
#include "support/ScheduleMinute.h"
#include "support/TdsPeer.h"
#include "support/TempProgramDir.h"
#include "support/WaitUntil.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kServiceName = "ZovSvcx";

using test::WaitUntil;

// The real service backs up every database of a server (the TDS peer, writing its files as nobody, as a
// database server writes them with its own account, config.ini [MSSQL] ServerAccount) for a task due this
// minute.
TEST(SqlServerServiceTest, ATaskDueThisMinuteBacksUpEveryUserDatabase) {
    test::TempProgramDir program;
    for (const char* name : {"zovsvc", "rar"}) fs::copy_file(test::BuiltProgram(name), program / name);
    test::TdsPeer peer(
        program / "peer",
        R"({"databases": ["master", "tempdb", "model", "msdb", "Northwind", "销售", "a]b'c"]})", "nobody");
    ASSERT_NE(peer.port(), 0);
    const IniFile config(ConfigIniPath());
    config.Write("Driver", "MSSQL", test::FreeTdsDriverPath());
    config.Write("Host", "MSSQL", "127.0.0.1");
    config.Write("Port", "MSSQL", std::to_string(peer.port()));
    config.Write("User", "MSSQL", "backup");
    config.Write("Password", "MSSQL", "pa;ss 口令");
    config.Write("ServerAccount", "MSSQL", "nobody");

    const std::time_t minute = test::ScheduleMinute();
    const std::string time = FormatLocalTime(minute, "%H:%M");
    const std::string date = FormatLocalTime(minute, "%Y-%m-%d");
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    ASSERT_TRUE(store.Load());
    TaskInfo task;
    task.name = "全部数据库";
    task.flags = kTaskCompress | kTaskScheduled;
    task.sqlType = kSqlServer;
    task.database = "?????";
    task.instance = "MSSQLSERVER";
    task.dest = program / "bak";
    task.times = time;
    fs::create_directories(task.dest);
    ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));

    LocalServiceManager manager(program / "run/services/");
    ServiceConfig service;
    service.name = kServiceName;
    service.displayName = kServiceName;
    service.command = {program / "zovsvc"};
    ASSERT_TRUE(manager.Install(service));
    ASSERT_TRUE(manager.Start(kServiceName));
    const IniFile temp(TempIniPath());
    const std::string key = "TIME_" + std::to_string(task.id);
    const bool finished = WaitUntil(
        [&] { return !temp.Read(key, "SUCCEED").empty() || !temp.Read(key, "FAILED").empty(); }, 40s);
    manager.Stop(kServiceName);
    EXPECT_TRUE(WaitUntil([&] { return manager.GetState(kServiceName) == kServiceStopped; }, 20s));
    manager.Remove(kServiceName);
    ASSERT_TRUE(finished);
    EXPECT_EQ(temp.Read(key, "SUCCEED"), time) << test::ReadFile(program / "Log/Files/system.log");

    // One listing, then one backup statement per user database, all with one stamp.
    const std::vector<std::string> batches = peer.Batches();
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0], "select name from master..sysdatabases");
    const std::size_t at = batches[1].find("/cache/zovsvc_");
    ASSERT_NE(at, std::string::npos) << batches[1];
    const std::size_t from = batches[1].find('\'') + 1;
    const std::string tempFolder = batches[1].substr(from, at + 20 - from);
    const std::string stamp = batches[1].substr(batches[1].rfind('_') + 1, 14);
    EXPECT_TRUE(stamp.starts_with(FormatLocalTime(minute, "%Y%m%d%H%M"))) << stamp;
    EXPECT_EQ(batches[1], "backup database [销售] to disk='" + tempFolder + "销售_" + stamp + ".bak'");
    EXPECT_EQ(batches[2], "backup database [a]]b'c] to disk='" + tempFolder + "a]b''c_" + stamp + ".bak'");
    EXPECT_FALSE(fs::exists(tempFolder));
    EXPECT_EQ(acl_extended_file(program.path().c_str()), 0) << "the server's passage went with the run";

    const std::string dated = task.dest + "/" + date + "/";
    CZipOperator zip(program / "rar");
    for (const std::string name : {"销售", "a]b'c"}) {
        const std::string archive = dated + name + "_" + stamp + ".rar";
        ASSERT_EQ(zip.ExtractFile(archive, program / ("out/" + name), ""), 0) << archive << zip.message();
        EXPECT_TRUE(test::ReadFile(program / ("out/" + name + "/" + name + "_" + stamp + ".bak"))
                        .starts_with("TDSPEER BACKUP " + name + "\n"));
    }
    std::vector<std::string> lines;
    std::istringstream log(test::ReadFile(program / ("Log/SQL Server/" + date + ".log")));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\t备份\t销售\t" + dated + "销售_" + stamp + ".rar\t"), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("\ta]b'c\t" + dated + "a]b'c_" + stamp + ".rar\t"), std::string::npos)
        << lines[1];
    for (const std::string& line : lines) EXPECT_NE(line.find("\t成功\t"), std::string::npos) << line;
}

}  // namespace
}  // namespace zov
