#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/ProcFind.h"
#include "platform/ServiceManagerLocal.h"
#include "support/DaemonCopy.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

// A daemon-like process (own session, no terminal) running a copy of the shell under a long unique name;
// it stops itself, so it has no children. Killed and reaped by the destructor.
class TestDaemon {
  public:
    explicit TestDaemon(const std::string& folder) {
        name_ = "zovtest_daemon_" + std::to_string(getpid());
        program_ = folder + name_;
        arguments_ = test::DaemonCopyArguments(program_, {"x y"});
        pid_ = test::StartDaemonCopy(program_, {"x y"});
    }
    ~TestDaemon() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    TestDaemon(const TestDaemon&) = delete;
    TestDaemon& operator=(const TestDaemon&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& name() const { return name_; }
    const std::string& program() const { return program_; }
    const std::vector<std::string>& arguments() const { return arguments_; }

    // Kills the process; it stays a zombie until Reap.
    void Kill() {
        kill(pid_, SIGKILL);
        siginfo_t info{};
        waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);
    }
    void Reap() {
        waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

  private:
    std::string name_;
    std::string program_;
    std::vector<std::string> arguments_;
    pid_t pid_ = 0;
};

TEST(ServiceManagerProcFind, ReadsNameImageCommandLineAndAccount) {
    test::TempProgramDir dir;
    TestDaemon daemon(dir.path());
    std::optional<ProcessInfo> info = ReadProcessInfo(daemon.pid());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, daemon.name());  // longer than the kernel's 15 bytes
    EXPECT_EQ(info->imagePath, daemon.program());
    EXPECT_EQ(info->arguments, daemon.arguments());
    EXPECT_EQ(info->uid, getuid());
    EXPECT_EQ(info->parentPid, getpid());
    EXPECT_FALSE(info->hasTerminal);

    bool listed = false;
    for (const ProcessInfo& process : ListProcesses()) listed = listed || process.pid == daemon.pid();
    EXPECT_TRUE(listed);
}

TEST(ServiceManagerProcFind, TellsLiveFromEndedProcesses) {
    test::TempProgramDir dir;
    TestDaemon daemon(dir.path());
    std::optional<unsigned long long> started = ProcessStartTime(daemon.pid());
    ASSERT_TRUE(started.has_value());
    EXPECT_TRUE(IsProcessAlive(daemon.pid(), *started));
    EXPECT_FALSE(IsProcessAlive(daemon.pid(), *started + 1));  // a later process under the same pid
    daemon.Kill();
    EXPECT_FALSE(IsProcessAlive(daemon.pid(), *started));  // a zombie has ended
    const pid_t pid = daemon.pid();
    daemon.Reap();
    EXPECT_FALSE(ProcessStartTime(pid).has_value());
    EXPECT_FALSE(ReadProcessInfo(pid).has_value());
}

TEST(ServiceManagerProcFind, LocalManagerSeesOtherProgramsAsRunningServices) {
    test::TempProgramDir dir;
    TestDaemon daemon(dir.path());
    LocalServiceManager manager(dir / "run/services/");

    std::optional<ServiceInfo> info = manager.Query(daemon.name());
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, daemon.name());
    EXPECT_EQ(info->imagePath, daemon.program());
    EXPECT_EQ(info->commandLine, daemon.program() + " -c \"kill -STOP $$; :\" \"x y\"");
    EXPECT_EQ(info->account, AccountName(getuid()));

    std::string shouted = daemon.name();
    for (char& c : shouted) c = static_cast<char>(toupper(c));
    EXPECT_TRUE(manager.Query(shouted).has_value());
    EXPECT_EQ(manager.GetState(daemon.name()), kServiceRunning);
    EXPECT_EQ(manager.GetState("zovtest_no_such_program"), kServiceNotInstalled);

    std::optional<std::vector<ServiceInfo>> services = manager.List();
    ASSERT_TRUE(services.has_value());
    int found = 0;
    for (const ServiceInfo& service : *services) found += service.name == daemon.name() ? 1 : 0;
    EXPECT_EQ(found, 1);

    // Found, not controlled.
    EXPECT_FALSE(manager.Stop(daemon.name()));
    EXPECT_FALSE(manager.Remove(daemon.name()));
    EXPECT_FALSE(manager.SetRestartOnFailure(daemon.name()));
}

TEST(ServiceManagerProcFind, NamesAccounts) {
    EXPECT_EQ(AccountName(0), "root");
    EXPECT_EQ(AccountName(4000000000u), "4000000000");
}

}  // namespace
}  // namespace zov
