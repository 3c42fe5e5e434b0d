#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "ServiceTestSupport.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "platform/Paths.h"
#include "platform/ServiceManagerLocal.h"

namespace zov {
namespace {

using namespace std::chrono_literals;

constexpr const char* kName = "ZovSvcx";

// The voluntary context switches of every thread of pid: how often each went to sleep.
std::map<std::string, long> SleepsPerThread(pid_t pid) {
    std::map<std::string, long> sleeps;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
    for (const std::string& tid : ListDirectory(tasks)) {
        std::ifstream status(tasks + tid + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("voluntary_ctxt_switches:")) sleeps[tid] = std::stol(line.substr(24));
        }
    }
    return sleeps;
}

// An idle service sleeps: its waiting threads wake only for a stop or a queued task, the scheduler and the
// expired-backup thread once per pass (10 s and a minute apart), the log clean-up once in 5 minutes.
TEST(ServiceIdleTest, NoThreadOfTheIdleServiceWakesMoreOftenThanItsPass) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    CQelXML store;
    store.SetFilePath(TaskDbPath());
    ASSERT_TRUE(store.Load());
    for (int id = 1; id <= 20; ++id) {
        TaskInfo task;
        task.name = "idle" + std::to_string(id);
        task.flags = kTaskFile | kTaskScheduled | kTaskKeepDays;
        task.source = dir / "src/";
        task.dest = dir / ("bak/" + std::to_string(id));
        task.times = "03:33";
        task.keepDays = 7;
        ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));
    }
    LocalServiceManager manager(dir.recordFolder());
    ServiceConfig config;
    config.name = kName;
    config.displayName = kName;
    config.command = {program};
    ASSERT_TRUE(manager.Install(config));
    ASSERT_TRUE(manager.Start(kName));
    pid_t pid = 0;
    ASSERT_TRUE(test::WaitUntil([&] {
        std::ifstream status(dir.recordFolder() + "zovsvcx.status");
        int state = 0;
        return status >> pid >> state && state == kServiceRunning;
    }));
    // Six workers 500 ms apart, then the scheduler, expired-backup and log clean-up threads.
    ASSERT_TRUE(test::WaitUntil([&] { return SleepsPerThread(pid).size() >= 10; }));
    std::this_thread::sleep_for(1s);

    const std::map<std::string, long> before = SleepsPerThread(pid);
    std::this_thread::sleep_for(4s);
    const std::map<std::string, long> after = SleepsPerThread(pid);
    long total = 0;
    for (const auto& [tid, sleeps] : after) {
        const auto earlier = before.find(tid);
        if (earlier == before.end()) continue;
        const long woke = sleeps - earlier->second;
        total += woke;
        EXPECT_LE(woke, 3) << "thread " << tid;
    }
    // At most one pass each of the scheduler and the expired-backup thread fell into the 4 s.
    EXPECT_LE(total, 6);
    EXPECT_TRUE(manager.Stop(kName));
    EXPECT_TRUE(manager.Remove(kName));
}

}  // namespace
}  // namespace zov
