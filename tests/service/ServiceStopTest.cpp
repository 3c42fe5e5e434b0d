#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include "ServiceTestSupport.h"
#include "engine/IniFile.h"
#include "engine/ProgramFiles.h"
#include "engine/QelXml.h"
#include "platform/Clock.h"
#include "platform/ServiceManagerLocal.h"

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
        for (const char* file : {"archiver.pid", "sleeper.pid"}) {
            const pid_t pid = WrittenPid(dir_ / file);
            if (pid > 0 && test::IsAlive(pid)) kill(pid, SIGKILL);
        }
    }

    // The current minute, once at least 25 s of it remain.
    static std::time_t ScheduleMinute() {
        std::time_t now = std::time(nullptr);
        const int second = std::stoi(FormatLocalTime(now, "%S"));
        if (second > 35) {
            std::this_thread::sleep_for(std::chrono::seconds(61 - second));
            now = std::time(nullptr);
        }
        return now;
    }

    test::ServiceTestFolder dir_;
};

TEST_F(ServiceStopTest, StopEndsTheArchiverAtOnceAndLeavesTheTimeRunning) {
    const std::string program = dir_.InstallServiceProgram();
    // The archiver notes its pid and that of its child.
    const std::string script = "echo $$ > '" + dir_ / "archiver.pid" + "'\n" + "sleep 60 &\n" +
                               "echo $! > '" + dir_ / "sleeper.pid" + "'\n" + "wait\n";
    const std::string archiver = dir_.WriteScript("slow-rar", script);
    test::WriteFile(dir_ / "src/a.txt", "alpha");
    const IniFile temp(TempIniPath());
    ASSERT_TRUE(temp.Write("rar_path", "SYSTEM", archiver));

    const std::string time = FormatLocalTime(ScheduleMinute(), "%H:%M");
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    ASSERT_TRUE(store.Load());
    TaskInfo task;
    task.name = "packed";
    task.flags = kTaskFile | kTaskCompress | kTaskScheduled;
    task.source = dir_ / "src/";
    task.dest = dir_ / "bak";
    task.times = time;
    ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));
    const std::string key = "TIME_" + std::to_string(task.id);

    LocalServiceManager manager(dir_.recordFolder());
    ServiceConfig config;
    config.name = kName;
    config.displayName = kName;
    config.command = {program};
    ASSERT_TRUE(manager.Install(config));
    ASSERT_TRUE(manager.Start(kName));
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

}  // namespace
}  // namespace zov
