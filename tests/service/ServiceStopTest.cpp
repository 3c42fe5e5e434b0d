#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "ServiceTestSupport.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/ServiceManagerLocal.h"
#include "support/ScheduleMinute.h"

namespace zov {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

constexpr const char* kName = "ZovSvcx";

// The pid a script wrote to path as a whole line; 0 while it is not there.
pid_t WrittenPid(const std::string& path) {
    const std::string text = test::ReadFile(path);
    return text.ends_with("\n") ? std::stoi(text) : 0;
}

// The real service with a compressed file task due now, whose archiver is a script that runs for a minute.
class ServiceStopTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (const char* file : {"archiver.pid", "sleeper.pid", "service.pid"}) {
            const pid_t pid = WrittenPid(dir_ / file);
            if (pid > 0 && test::IsAlive(pid)) kill(pid, SIGKILL);
        }
    }

    // Installs and starts the real service with a compressed file task of src/ due this minute, run by
    // an archiver script with the given body; the run-state key of the task.
    std::string StartWithArchiver(LocalServiceManager& manager, const std::string& script,
                                  std::string& time) {
        const std::string program = dir_.InstallServiceProgram();
        const std::string archiver = dir_.WriteScript("slow-rar", script);
        test::WriteFile(dir_ / "src/a.txt", "alpha");
        EXPECT_TRUE(IniFile(TempIniPath()).Write("rar_path", "SYSTEM", archiver));
        time = FormatLocalTime(test::ScheduleMinute(), "%H:%M");
        CQelXML store;
        store.SetFilePath(TaskDbPath());
        EXPECT_TRUE(store.Load());
        TaskInfo task;
        task.name = "packed";
        task.flags = kTaskFile | kTaskCompress | kTaskScheduled;
        task.source = dir_ / "src/";
        task.dest = dir_ / "bak";
        task.times = time;
        EXPECT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));
        ServiceConfig config;
        config.name = kName;
        config.displayName = kName;
        config.command = {program};
        EXPECT_TRUE(manager.Install(config));
        EXPECT_TRUE(manager.SetRestartOnFailure(kName));
        EXPECT_TRUE(manager.Start(kName));
        return "TIME_" + std::to_string(task.id);
    }

    // What the service left to read when an expectation fails: its run state and its own log.
    std::string Trail() {
        return "temp.ini:\n" + test::ReadFile(TempIniPath()) + "system.log:\n" +
               test::ReadFile(dir_ / "Log/Files/system.log");
    }

    test::ServiceTestFolder dir_;
};

TEST_F(ServiceStopTest, StopEndsTheArchiverAtOnceAndLeavesTheTimeRunning) {
    // The archiver notes its pid and that of its child.
    const std::string script = "echo $$ > '" + dir_ / "archiver.pid" + "'\n" + "sleep 60 &\n" +
                               "echo $! > '" + dir_ / "sleeper.pid" + "'\n" + "wait\n";
    LocalServiceManager manager(dir_.recordFolder());
    std::string time;
    const std::string key = StartWithArchiver(manager, script, time);
    const IniFile temp(TempIniPath());
    ASSERT_TRUE(WaitUntil([&] { return WrittenPid(dir_ / "sleeper.pid") > 0; }, 30s))
        << test::ReadFile(dir_ / "temp.ini");
    const pid_t archiverPid = WrittenPid(dir_ / "archiver.pid");
    const pid_t sleeperPid = WrittenPid(dir_ / "sleeper.pid");
    EXPECT_EQ(temp.Read(key, "RUNNING"), time);

    const auto stop = std::chrono::steady_clock::now();
    ASSERT_TRUE(manager.Stop(kName));
    EXPECT_TRUE(WaitUntil([&] { return manager.GetState(kName) == kServiceStopped; }, 3s));
    EXPECT_LT(std::chrono::steady_clock::now() - stop, 3s);
    EXPECT_FALSE(test::IsAlive(archiverPid));
    EXPECT_FALSE(test::IsAlive(sleeperPid));

    EXPECT_EQ(temp.Read(key, "RUNNING"), time);
    EXPECT_EQ(temp.Read(key, "SUCCEED"), "");
    EXPECT_EQ(temp.Read(key, "FAILED"), "");
    EXPECT_TRUE(manager.Remove(kName));
    EXPECT_TRUE(test::AllChildrenEnded(5s));
}

TEST_F(ServiceStopTest, AKilledServiceFilesItsRunAsFailedAfterTheRestartAndRemovesThePartialArchive) {
    // Like the real archiver, the script writes the archive under its final name as it goes.
    const std::string script =
        "echo $$ > '" + dir_ / "archiver.pid" + "'\n" + "echo $PPID > '" + dir_ / "service.pid" + "'\n" +
        "echo run >> '" + dir_ / "runs" + "'\n" +
        "for a in \"$@\"; do case \"$a\" in *.rar) printf partial > \"$a\";; esac; done\n" + "sleep 60 &\n" +
        "echo $! > '" + dir_ / "sleeper.pid" + "'\n" + "wait\n";
    LocalServiceManager manager(dir_.recordFolder());
    std::string time;
    const std::string key = StartWithArchiver(manager, script, time);
    ASSERT_TRUE(WaitUntil([&] { return WrittenPid(dir_ / "sleeper.pid") > 0; }, 30s)) << Trail();
    const pid_t servicePid = WrittenPid(dir_ / "service.pid");
    const std::string dated = dir_ / ("bak/" + FormatLocalTime(std::time(nullptr), "%Y-%m-%d") + "/");
    ASSERT_EQ(ListDirectory(dated).size(), 1u) << "the partial archive\n" << Trail();

    ASSERT_EQ(kill(servicePid, SIGKILL), 0);
    const IniFile temp(TempIniPath());
    EXPECT_TRUE(WaitUntil([&] { return temp.Read(key, "FAILED") == time; }, 20s)) << Trail();
    EXPECT_EQ(temp.Read(key, "RUNNING"), "");
    EXPECT_TRUE(WaitUntil([&] { return ListDirectory(dated).empty(); }, 5s)) << "partial archive removed\n"
                                                                             << Trail();
    // The record follows the removal of the partial archive.
    const std::string logPath =
        dir_ / ("Log/Files/" + FormatLocalTime(std::time(nullptr), "%Y-%m-%d") + ".log");
    std::string log;
    EXPECT_TRUE(WaitUntil(
        [&] {
            log = test::ReadFile(logPath);
            return log.find("备份被中断") != std::string::npos;
        },
        5s))
        << log << Trail();
    EXPECT_NE(log.find("失败"), std::string::npos) << log;

    // The restarted service does not run the time again.
    std::this_thread::sleep_for(12s);
    EXPECT_EQ(test::ReadFile(dir_ / "runs"), "run\n") << Trail();
    EXPECT_TRUE(manager.Stop(kName));
    EXPECT_TRUE(manager.Remove(kName));
}

}  // namespace
}  // namespace zov
