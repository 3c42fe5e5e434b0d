#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ServiceTestSupport.h"
#include "engine/control/ServiceCtrl.h"
#include "platform/Clock.h"
#include "support/DaemonCopy.h"
#include "support/InstalledClock.h"

namespace zov {
namespace {

using namespace std::chrono_literals;
using test::WaitUntil;

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(ServiceCtrl, EmptyAndUnknownNamesFail) {
    test::ServiceTestFolder dir;
    CServiceCtrl control;
    EXPECT_EQ(GetServiceState(""), kServiceNotInstalled);
    EXPECT_EQ(GetServiceState("NoSuchService"), kServiceNotInstalled);
    EXPECT_FALSE(ServiceInstalled("NoSuchService"));
    EXPECT_FALSE(control.ServiceExists("   "));
    EXPECT_FALSE(control.SetStartType("", kServiceAutoStart));
    EXPECT_FALSE(control.SetRestartOnFailure(""));
    EXPECT_FALSE(control.DeleteService("NoSuchService"));
    EXPECT_FALSE(control.IsServiceRunning("NoSuchService"));
    EXPECT_TRUE(control.IsServiceStopped("NoSuchService"));
    EXPECT_FALSE(control.StartStopService("NoSuchService", true));
    EXPECT_FALSE(control.StartStopService("NoSuchService", false));
    EXPECT_EQ(StartServiceWait("NoSuchService"), 0);
    EXPECT_EQ(StopServiceWait("NoSuchService"), 0);
    EXPECT_EQ(control.GetServiceExePath("NoSuchService", true), "");
    EXPECT_EQ(GetServiceExePath("NoSuchService"), "");
    EXPECT_EQ(GetServiceAccount("NoSuchService"), "");
}

TEST(ServiceCtrl, StopWaitGivesUpAfterFiftyPolls) {
    test::ServiceTestFolder dir;
    ASSERT_TRUE(
        InstallService(dir.WriteScript("stubborn.sh", test::StubbornServiceScript()), "Stubborn", ""));
    ASSERT_EQ(StartServiceWait("Stubborn"), 1);
    {
        test::InstalledClock clock(1000);
        EXPECT_EQ(StopServiceWait("Stubborn"), 0);
        EXPECT_EQ(clock.Now(), 1000 + kServiceWaitPolls * kServiceWaitIntervalMs / 1000);
    }
    // The supervisor takes the stop request in its own time; the service ignores it and stays pending.
    EXPECT_TRUE(WaitUntil([] { return GetServiceState("Stubborn") == kServiceStopPending; }));
}

TEST(ServiceCtrl, InstallerRunsFirstAndItsFailureCounts) {
    test::ServiceTestFolder dir;
    CServiceCtrl control;
    const std::string failing = dir.WriteScript("failing-installer", "echo \"$1\" > \"$0.args\"\nexit 1\n");
    EXPECT_FALSE(control.StartStopService("ZovSvcx", false, failing, true));
    EXPECT_EQ(test::ReadFile(failing + ".args"), "-install\n");

    const std::string program = dir.InstallServiceProgram();
    EXPECT_TRUE(control.StartStopService("ZovSvcx", false, program, true));
    EXPECT_EQ(GetServiceState("ZovSvcx"), kServiceStopped);
    // A missing installer is skipped.
    EXPECT_TRUE(control.StartStopService("ZovSvcx", true, dir / "absent", true));
    EXPECT_TRUE(WaitUntil([] { return GetServiceState("ZovSvcx") == kServiceRunning; }));
    EXPECT_TRUE(DeleteServiceByName("ZovSvcx"));
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST(ServiceCtrl, ProgramAccountAndEnumeration) {
    test::ServiceTestFolder dir;
    CServiceCtrl control;
    const std::string script = dir.WriteScript("service.sh", test::ServiceScript());
    ASSERT_TRUE(InstallService(script, "Scripted", "--flag \"two words\""));
    EXPECT_EQ(control.GetServiceExePath("Scripted", true), script + " --flag \"two words\"");
    EXPECT_EQ(control.GetServiceExePath("Scripted", false), script);
    EXPECT_EQ(GetServiceExePath("Scripted"), script);
    EXPECT_EQ(GetServiceAccount("Scripted"), "");  // the super-user
    unlink(script.c_str());
    EXPECT_EQ(GetServiceExePath("Scripted"), "");  // the program must exist

    const std::string server = dir / "usr/sbin/mysqld";
    const pid_t daemon = test::StartDaemonCopy(server);
    std::vector<std::string> names{"stale"};
    ASSERT_TRUE(EnumServiceNames(names));
    EXPECT_TRUE(Contains(names, "Scripted"));
    EXPECT_TRUE(Contains(names, "mysqld"));
    EXPECT_FALSE(Contains(names, "stale"));
    EXPECT_EQ(GetServiceState("mysqld"), kServiceRunning);
    EXPECT_EQ(GetServiceExePath("mysqld"), server);

    std::vector<std::string> servers, displayNames;
    const int count = control.FindServerServices(servers, displayNames);
    EXPECT_EQ(count, static_cast<int>(servers.size()));
    EXPECT_EQ(displayNames.size(), servers.size());
    EXPECT_TRUE(Contains(servers, "mysqld"));
    EXPECT_FALSE(Contains(servers, "Scripted"));

    kill(daemon, SIGKILL);
    waitpid(daemon, nullptr, 0);
}

}  // namespace
}  // namespace zov
