#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ServiceTestSupport.h"
#include "platform/FileLock.h"
#include "platform/IniProfile.h"
#include "platform/Paths.h"
#include "platform/ServiceManagerCommandLine.h"
#include "platform/ServiceManagerLocal.h"
#include "platform/ServiceManagerSupervisor.h"

namespace zov {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::WaitUntil;

// A service that reports itself running and then is one process, ended by any signal it gets.
constexpr const char* kSleepingService =
    "ulimit -c 0\nprintf '%s 4\\n' $$ > \"$ZOV_SERVICE_STATUS\"\nexec sleep 1000\n";

class LocalBackend : public ::testing::Test {
  protected:
    test::ServiceTestFolder dir;
    LocalServiceManager manager{dir.recordFolder(), 500ms};

    ServiceConfig Config(const std::string& program) {
        ServiceConfig config;
        config.name = "TestSvc";
        config.displayName = "Test service";
        config.command = {program, "a b"};
        return config;
    }
    bool Install(const std::string& body) {
        return manager.Install(Config(dir.WriteScript("service.sh", body)));
    }
    bool Becomes(int state) {
        return WaitUntil([&] { return manager.GetState("TestSvc") == state; });
    }
    SupervisorRecord Record() {
        return ReadSupervisorRecord(LocalServiceFiles::For(dir.recordFolder(), "TestSvc")->supervisor)
            .value_or(SupervisorRecord{});
    }
};

TEST_F(LocalBackend, InstallRegistersOnceAndQueryReadsItBack) {
    const std::string program = dir.WriteScript("service.sh", test::ServiceScript());
    EXPECT_EQ(manager.GetState("TestSvc"), kServiceNotInstalled);
    ASSERT_TRUE(manager.Install(Config(program)));
    EXPECT_EQ(manager.GetState("testsvc"), kServiceStopped);  // names compare without case
    EXPECT_FALSE(manager.Install(Config(program)));
    EXPECT_EQ(manager.lastError(), EEXIST);

    const std::string registration = dir.recordFolder() + "testsvc.ini";
    EXPECT_EQ(ini::Read(registration, "Service", "Name"), "TestSvc");
    EXPECT_EQ(ini::Read(registration, "Service", "StartType"), "2");
    std::optional<ServiceInfo> info = manager.Query("TestSvc");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, "TestSvc");
    EXPECT_EQ(info->displayName, "Test service");
    EXPECT_EQ(info->imagePath, program);
    EXPECT_EQ(info->commandLine, program + " \"a b\"");

    ServiceConfig relative = Config("service.sh");
    relative.name = "Other";
    EXPECT_FALSE(manager.Install(relative));
    EXPECT_EQ(manager.lastError(), EINVAL);
}

TEST_F(LocalBackend, StartsDetachedAndStopsOnRequest) {
    ASSERT_TRUE(Install(test::ServiceScript()));
    FileLock callersLock = FileLock::Acquire(dir / "callers.lock", FileLock::Mode::Exclusive);
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceRunning));
    EXPECT_FALSE(manager.Start("TestSvc"));
    EXPECT_EQ(manager.lastError(), EALREADY);

    const SupervisorRecord record = Record();
    EXPECT_TRUE(test::IsAlive(record.supervisorPid));
    EXPECT_TRUE(test::IsAlive(record.servicePid));
    EXPECT_NE(getsid(record.supervisorPid), getsid(0));
    // The supervisor keeps none of the starter's descriptors (no lock of the starter stays held).
    std::vector<std::string> descriptors =
        ListDirectory("/proc/" + std::to_string(record.supervisorPid) + "/fd");
    EXPECT_EQ(descriptors, (std::vector<std::string>{"0", "1", "2"}));
    // The service runs in the program's folder with its arguments.
    EXPECT_EQ(ReadProcessInfo(record.servicePid)->arguments,
              (std::vector<std::string>{"/bin/sh", dir / "service.sh", "a b"}));
    // Its command line is the running process's, as the kernel started it, while it runs.
    EXPECT_EQ(manager.Query("TestSvc")->commandLine, JoinCommandLine({"/bin/sh", dir / "service.sh", "a b"}));

    ASSERT_TRUE(manager.Stop("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceStopped));
    EXPECT_FALSE(test::IsAlive(record.servicePid));
    EXPECT_EQ(manager.Query("TestSvc")->commandLine, JoinCommandLine({dir / "service.sh", "a b"}));
    EXPECT_FALSE(manager.Stop("TestSvc"));
    EXPECT_TRUE(test::AllChildrenEnded());
}

// Whoever starts it (here this test program, with a display and a variable of its own), the supervisor is
// the program zov-supervisor: its own command line and the service's clean environment, none of the
// starter's.
TEST_F(LocalBackend, TheSupervisorHasTheServicesEnvironmentAndItsOwnName) {
    ASSERT_EQ(setenv("DISPLAY", ":99", 1), 0);
    ASSERT_EQ(setenv("ZOV_STARTER_MARKER", "1", 1), 0);
    ASSERT_TRUE(Install(kSleepingService));
    ASSERT_TRUE(manager.SetRestartOnFailure("TestSvc"));
    const bool started = manager.Start("TestSvc");
    unsetenv("DISPLAY");
    unsetenv("ZOV_STARTER_MARKER");
    ASSERT_TRUE(started);
    ASSERT_TRUE(Becomes(kServiceRunning));

    const SupervisorRecord record = Record();
    const std::vector<std::string> clean{
        "LANG=C.UTF-8", "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
        "ZOV_PROGRAM_DIR=" + dir.path(),
        std::string(kServiceStatusVariable) + "=" + dir.recordFolder() + "testsvc.status"};
    EXPECT_EQ(test::EnvironmentOf(record.supervisorPid), clean);
    const std::optional<ProcessInfo> supervisor = ReadProcessInfo(record.supervisorPid);
    ASSERT_TRUE(supervisor.has_value());
    ASSERT_FALSE(supervisor->arguments.empty());
    EXPECT_EQ(supervisor->arguments.front(), "zov-supervisor");
    EXPECT_EQ(supervisor->name, "zov-supervisor");

    // It supervises as before: a killed service comes back, a stop ends both.
    kill(record.servicePid, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return Record().servicePid != record.servicePid; }));
    ASSERT_TRUE(Becomes(kServiceRunning));
    ASSERT_TRUE(manager.Stop("TestSvc"));
    EXPECT_TRUE(Becomes(kServiceStopped));
    EXPECT_TRUE(WaitUntil([&] { return !test::IsAlive(record.supervisorPid); }));
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST_F(LocalBackend, KillsAServiceThatOutlastsTheStopBound) {
    ASSERT_TRUE(Install(test::StubbornServiceScript()));
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceRunning));
    const SupervisorRecord record = Record();
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(manager.Stop("TestSvc"));
    EXPECT_TRUE(WaitUntil([&] { return manager.GetState("TestSvc") == kServiceStopPending; }, 400ms));
    ASSERT_TRUE(Becomes(kServiceStopped));
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 500ms);
    EXPECT_FALSE(test::IsAlive(record.servicePid));
    EXPECT_TRUE(test::AllChildrenEnded());  // its whole process group went with it
}

TEST_F(LocalBackend, RestartsAfterAnAbnormalEndOnlyWhenAsked) {
    ASSERT_TRUE(Install(test::ServiceScript()));
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceRunning));
    kill(-Record().servicePid, SIGKILL);
    EXPECT_TRUE(Becomes(kServiceStopped));  // no restart-on-failure: the supervisor ends too

    ASSERT_TRUE(manager.SetRestartOnFailure("TestSvc"));
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceRunning));
    const pid_t first = Record().servicePid;
    kill(-first, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return Record().servicePid != first; }));
    EXPECT_TRUE(Becomes(kServiceRunning));

    // A normal end (exit status 0) is no failure.
    ASSERT_TRUE(manager.Stop("TestSvc"));
    EXPECT_TRUE(Becomes(kServiceStopped));
    EXPECT_TRUE(test::AllChildrenEnded());
}

// As under systemd: a crash or a SIGKILL is a failure and restarts the service, a SIGTERM stops it.
TEST_F(LocalBackend, ACrashOrAKillRestartsTheServiceASigtermStopsIt) {
    ASSERT_TRUE(Install(kSleepingService));
    ASSERT_TRUE(manager.SetRestartOnFailure("TestSvc"));
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceRunning));
    for (int sig : {SIGKILL, SIGSEGV}) {
        const pid_t before = Record().servicePid;
        kill(before, sig);
        ASSERT_TRUE(WaitUntil([&] { return Record().servicePid != before; })) << strsignal(sig);
        ASSERT_TRUE(Becomes(kServiceRunning)) << strsignal(sig);
    }
    const SupervisorRecord record = Record();
    kill(record.servicePid, SIGTERM);
    EXPECT_TRUE(Becomes(kServiceStopped));
    // The supervisor records the stop before it exits and is reaped.
    EXPECT_TRUE(test::AllChildrenEnded());
    EXPECT_TRUE(WaitUntil([&] { return !test::IsAlive(record.supervisorPid); }));
}

// Nothing restarts a service whose supervisor was killed: it ends with it and stays stopped until started.
TEST_F(LocalBackend, AKilledSupervisorLeavesTheServiceStopped) {
    ASSERT_TRUE(Install(kSleepingService));
    ASSERT_TRUE(manager.SetRestartOnFailure("TestSvc"));
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceRunning));
    const SupervisorRecord record = Record();
    kill(record.supervisorPid, SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return !test::IsAlive(record.servicePid); }));
    EXPECT_TRUE(Becomes(kServiceStopped));
    ASSERT_TRUE(manager.Start("TestSvc"));
    EXPECT_TRUE(Becomes(kServiceRunning));
    ASSERT_TRUE(manager.Stop("TestSvc"));
    EXPECT_TRUE(Becomes(kServiceStopped));
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST_F(LocalBackend, GivesUpOnAServiceThatFailsAtOnce) {
    ASSERT_TRUE(Install("echo started >> \"$0.starts\"\nexit 3\n"));
    ASSERT_TRUE(manager.SetRestartOnFailure("TestSvc"));
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceStopped));
    EXPECT_EQ(ReadFile(dir / "service.sh.starts"), "started\nstarted\nstarted\nstarted\nstarted\n");
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST_F(LocalBackend, RefusesToStartWhatCannotRun) {
    test::WriteFile(dir / "not-executable", "data");
    ASSERT_TRUE(manager.Install(Config(dir / "not-executable")));
    EXPECT_FALSE(manager.Start("TestSvc"));
    EXPECT_EQ(manager.lastError(), EACCES);
    EXPECT_EQ(manager.GetState("TestSvc"), kServiceStopped);

    ASSERT_TRUE(manager.Remove("TestSvc"));
    ASSERT_TRUE(Install(test::ServiceScript()));
    ASSERT_TRUE(manager.SetStartType("TestSvc", kServiceDisabled));
    EXPECT_FALSE(manager.Start("TestSvc"));
    EXPECT_FALSE(manager.SetStartType("TestSvc", 7));
    ASSERT_TRUE(manager.SetStartType("TestSvc", kServiceDemandStart));
    EXPECT_TRUE(manager.Start("TestSvc"));
    EXPECT_TRUE(Becomes(kServiceRunning));
    EXPECT_FALSE(manager.Start("NoSuchService"));
    EXPECT_EQ(manager.lastError(), ENOENT);
}

TEST_F(LocalBackend, RemovedWhileRunningEndsWithoutRestart) {
    ASSERT_TRUE(Install(test::ServiceScript()));
    ASSERT_TRUE(manager.SetRestartOnFailure("TestSvc"));
    ASSERT_TRUE(manager.Start("TestSvc"));
    ASSERT_TRUE(Becomes(kServiceRunning));
    const SupervisorRecord record = Record();
    ASSERT_TRUE(manager.Remove("TestSvc"));
    EXPECT_EQ(manager.GetState("TestSvc"), kServiceNotInstalled);
    EXPECT_TRUE(test::IsAlive(record.servicePid));
    kill(-record.servicePid, SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return !test::IsAlive(record.supervisorPid); }));
    EXPECT_FALSE(manager.Remove("TestSvc"));
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST_F(LocalBackend, ListsRegisteredServicesFirst) {
    ASSERT_TRUE(Install(test::ServiceScript()));
    std::optional<std::vector<ServiceInfo>> services = manager.List();
    ASSERT_TRUE(services.has_value());
    ASSERT_FALSE(services->empty());
    EXPECT_EQ(services->front().name, "TestSvc");
}

}  // namespace
}  // namespace zov
