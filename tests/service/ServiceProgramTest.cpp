#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ServiceTestSupport.h"
#include "engine/control/ServiceCtrl.h"
#include "engine/settings/IniFile.h"
#include "platform/Clock.h"
#include "platform/FileLock.h"
#include "platform/IniProfile.h"
#include "platform/ProcFind.h"
#include "platform/ProcessRunner.h"
#include "platform/ProgramDir.h"
#include "platform/ServiceManagerSupervisor.h"
#include "support/NobodyChild.h"

extern char** environ;

namespace zov {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::WaitUntil;
using test::WriteFile;

constexpr const char* kName = "ZovSvcx";

struct Output {
    int exitCode = -1;
    std::string text;
};

// The program folder reaches the program through its environment, as from a starter that names it.
Output RunProgram(const test::ServiceTestFolder& dir, const std::vector<std::string>& argv,
                  const std::vector<std::string>& extraEnv = {}) {
    ProcessOptions options;
    options.stdoutPath = dir / "stdout.txt";
    options.extraEnv = extraEnv;
    options.extraEnv.push_back(std::string(kProgramDirVariable) + "=" + dir.path());
    ProcessResult result = RunProcess(argv, options);
    return Output{result.exitCode, ReadFile(dir / "stdout.txt")};
}

// The pid the running service reported in its status file.
pid_t ServicePid(const test::ServiceTestFolder& dir) {
    std::optional<StatusRecord> status = ReadStatusRecord(dir.recordFolder() + "zovsvcx.status");
    return status ? status->pid : 0;
}

bool IsRunning() { return GetServiceState(kName) == kServiceRunning; }

struct CommandCase {
    std::vector<std::string> arguments;
    const char* output;
    int exitCode;
};

TEST(ServiceProgram, AnswersItsCommandLine) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    const CommandCase cases[] = {
        {{"-version"}, "ZovSvcx Version 1.0\nThe service is not installed\n", 0},
        {{"/version"}, "ZovSvcx Version 1.0\nThe service is not installed\n", 0},
        {{"-VERSION"}, "ZovSvcx Version 1.0\nThe service is not installed\n", 0},
        {{"-uninstall"}, "ZovSvcx is not installed\n", 0},
        {{"/UnInstall"}, "ZovSvcx is not installed\n", 0},
        // Not started by a service manager: the dispatcher's failure, never service mode.
        {{}, "错误号：107\n", 1},
        {{"-start"}, "错误号：107\n", 1},
    };
    for (const CommandCase& c : cases) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        Output output = RunProgram(dir, argv);
        EXPECT_EQ(output.text, c.output) << (c.arguments.empty() ? "" : c.arguments.front());
        EXPECT_EQ(output.exitCode, c.exitCode);
    }
    EXPECT_TRUE(test::AllChildrenEnded());
}

// The running service also keeps a config.ini that holds the SQL Server password from other users.
TEST(ServiceProgram, InstallsRunsReinstallsAndUninstalls) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    WriteFile(dir / "config.ini", "[MSSQL]\nPassword=secret\n");
    ASSERT_EQ(chmod((dir / "config.ini").c_str(), 0644), 0);
    Output installed = RunProgram(dir, {program, "-install"});
    EXPECT_EQ(installed.text, "ZovSvcx installed\n");
    EXPECT_EQ(installed.exitCode, 0);
    ASSERT_TRUE(WaitUntil(IsRunning));
    const pid_t first = ServicePid(dir);
    EXPECT_EQ(ReadProcessInfo(first)->imagePath, program);
    struct stat config {};
    ASSERT_EQ(stat((dir / "config.ini").c_str(), &config), 0);
    EXPECT_EQ(config.st_mode & 07777, 0600u);

    // The version works while the service holds its single-instance lock.
    Output version = RunProgram(dir, {program, "-version"});
    EXPECT_EQ(version.text, "ZovSvcx Version 1.0\nThe service is currently installed\n");

    Output reinstalled = RunProgram(dir, {program, "/INSTALL"});
    EXPECT_EQ(reinstalled.text, "ZovSvcx is already installed\nZovSvcx installed\n");
    EXPECT_EQ(reinstalled.exitCode, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsRunning() && ServicePid(dir) != first; }));
    EXPECT_FALSE(test::IsAlive(first));

    const pid_t second = ServicePid(dir);
    Output removed = RunProgram(dir, {program, "-uninstall"});
    EXPECT_EQ(removed.text, "ZovSvcx removed. (You must delete the file (" + program + ") yourself.)\n");
    EXPECT_EQ(removed.exitCode, 0);
    EXPECT_EQ(GetServiceState(kName), kServiceNotInstalled);
    EXPECT_FALSE(test::IsAlive(second));
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST(ServiceProgram, RunsWithACleanEnvironmentNotTheInstallers) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    Output installed = RunProgram(dir, {program, "-install"}, {"ZOV_INSTALLER_MARKER=1", "DISPLAY=:99"});
    ASSERT_EQ(installed.exitCode, 0) << installed.text;
    ASSERT_TRUE(WaitUntil(IsRunning));
    std::vector<std::string> environment = test::EnvironmentOf(ServicePid(dir));
    // The supervisor that zovsvc started runs under its own name with the same environment.
    const std::optional<SupervisorRecord> supervisor =
        ReadSupervisorRecord(dir.recordFolder() + "zovsvcx.supervisor");
    ASSERT_TRUE(supervisor.has_value());
    EXPECT_EQ(test::EnvironmentOf(supervisor->supervisorPid), environment);
    EXPECT_EQ(ReadProcessInfo(supervisor->supervisorPid)->arguments.front(), "zov-supervisor");
    // The status variable is the local backend's own protocol.
    std::erase_if(environment, [](const std::string& entry) {
        return entry.starts_with(std::string(kServiceStatusVariable) + "=");
    });
    EXPECT_EQ(environment,
              (std::vector<std::string>{"LANG=C.UTF-8",
                                        "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
                                        "ZOV_PROGRAM_DIR=" + dir.path()}));
    EXPECT_TRUE(DeleteServiceByName(kName));
    EXPECT_TRUE(test::AllChildrenEnded());
}

// "-install" asks for restart-on-failure: a killed service comes back under a new process.
TEST(ServiceProgram, InstalledServiceComesBackAfterAKill) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    ASSERT_EQ(RunProgram(dir, {program, "-install"}).exitCode, 0);
    ASSERT_TRUE(WaitUntil(IsRunning));
    const pid_t killed = ServicePid(dir);
    ASSERT_EQ(kill(killed, SIGKILL), 0);
    EXPECT_TRUE(WaitUntil([&] { return IsRunning() && ServicePid(dir) != killed; }, 10s));
    EXPECT_TRUE(test::IsAlive(ServicePid(dir)));
    EXPECT_TRUE(DeleteServiceByName(kName));
    EXPECT_TRUE(test::AllChildrenEnded());
}

// Every lock of a running installation lies in run/, out of other users' reach, also when the program
// folder is open to them.
TEST(ServiceProgram, OtherUsersCannotOpenTheLocks) {
    test::ServiceTestFolder dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string program = dir.InstallServiceProgram();
    ASSERT_EQ(RunProgram(dir, {program, "-install"}).exitCode, 0);
    ASSERT_TRUE(WaitUntil(IsRunning));
    std::vector<std::string> locks;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        if (entry.path().extension() == ".lock") locks.push_back(entry.path().string());
    }
    for (const char* expected : {"run/zovsvc.lock", "run/temp.ini.lock", "run/config.ini.lock"})
        EXPECT_NE(std::find(locks.begin(), locks.end(), dir / expected), locks.end()) << expected;
    for (const std::string& lock : locks) {
        EXPECT_EQ(lock.rfind(dir / "run/", 0), 0u) << lock;
        EXPECT_TRUE(test::AsNobody([&] { return open(lock.c_str(), O_RDONLY) < 0; })) << lock;
    }
    EXPECT_TRUE(DeleteServiceByName(kName));
    EXPECT_TRUE(test::AllChildrenEnded());
}

// A service that ends at once (another instance holds its lock) is installed, but "-install" says that it
// does not run and fails, so that no installer reports a service that never runs.
TEST(ServiceProgram, InstallFailsWhenTheServiceDoesNotRun) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    ASSERT_TRUE(PrivateRunFolder(dir.path()));
    FileLock held = FileLock::TryAcquire(dir / "run/zovsvc.lock", FileLock::Mode::Exclusive);
    ASSERT_TRUE(held.held());
    const auto start = std::chrono::steady_clock::now();
    Output output = RunProgram(dir, {program, "-install"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "a stopped service is not waited for";
    EXPECT_EQ(output.text,
              "ZovSvcx installed, but it is not running: it ended after its start (see syslog and "
              "Log/Files/system.log)\n");
    EXPECT_EQ(output.exitCode, 1);
    EXPECT_EQ(GetServiceState(kName), kServiceStopped);
    EXPECT_TRUE(DeleteServiceByName(kName));
    EXPECT_TRUE(test::AllChildrenEnded());
}

// Root runs the supervisor: one missing beside zovsvc, or one that others may change, is never started.
TEST(ServiceProgram, InstallRefusesAMissingOrOpenSupervisor) {
    const struct {
        const char* what;
        mode_t mode;  // 0: removed
        int error;
    } cases[] = {{"missing", 0, ENOENT}, {"writable by others", 0777, EPERM}};
    for (const auto& c : cases) {
        test::ServiceTestFolder dir;
        const std::string program = dir.InstallServiceProgram();
        const std::string supervisor = dir / "zov-supervisor";
        ASSERT_EQ(c.mode == 0 ? unlink(supervisor.c_str()) : chmod(supervisor.c_str(), c.mode), 0) << c.what;
        Output output = RunProgram(dir, {program, "-install"});
        EXPECT_EQ(output.text, "ZovSvcx installed, but it is not running: its start was refused. Error " +
                                   std::to_string(c.error) + "\n")
            << c.what;
        EXPECT_EQ(output.exitCode, 1) << c.what;
        EXPECT_EQ(GetServiceState(kName), kServiceStopped) << c.what;
        EXPECT_TRUE(DeleteServiceByName(kName)) << c.what;
        EXPECT_TRUE(test::AllChildrenEnded()) << c.what;
    }
}

TEST(ServiceProgram, FailedInstallEndsWithAnError) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    // The record folder cannot be made: a file stands in its place.
    WriteFile(dir / "run/services", "");
    Output output = RunProgram(dir, {program, "-install"});
    EXPECT_EQ(output.text, "ZovSvcx failed to install. Error " + std::to_string(EEXIST) + "\n");
    EXPECT_EQ(output.exitCode, 1);
    EXPECT_TRUE(test::AllChildrenEnded());
}

// The systemd backend through a stand-in "systemctl" first on PATH: it records its calls, finds a unit when
// its file is in the unit folder, shows it running once a start was asked for, and exits with the number in
// the file "exit" when that exists.
std::vector<std::string> FakeSystemd(const test::ServiceTestFolder& dir) {
    const std::string fake = dir / "fake/";
    test::WriteFile(fake + "systemctl",
                    "#!/bin/sh\n"
                    "printf '%s\\n' \"$*\" >> '" +
                        fake +
                        "calls'\n"
                        "[ -f '" +
                        fake + "exit' ] && exit \"$(cat '" + fake +
                        "exit')\"\n"
                        "[ \"$1\" = start ] && touch '" +
                        fake +
                        "started'\n"
                        "[ \"$1\" = show ] || exit 0\n"
                        "if [ -f '" +
                        dir / "units/" +
                        "'\"$4\" ]; then load=loaded; else load=not-found; fi\n"
                        "active='ActiveState=inactive\\nSubState=dead'\n"
                        "[ -f '" +
                        fake +
                        "started' ] && active='ActiveState=active\\nSubState=running'\n"
                        "printf \"LoadState=%s\\n$active\\n\" $load\n");
    chmod((fake + "systemctl").c_str(), 0755);
    return {"ZOV_SERVICE_BACKEND=systemd", "ZOV_SYSTEMD_UNIT_DIR=" + dir / "units/",
            "PATH=" + fake + ":" + getenv("PATH")};
}

TEST(ServiceProgram, InstallsAnEnabledNotifyingSystemdUnit) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    const std::vector<std::string> systemd = FakeSystemd(dir);
    Output installed = RunProgram(dir, {program, "-install"}, systemd);
    EXPECT_EQ(installed.text, "ZovSvcx installed\n");
    EXPECT_EQ(installed.exitCode, 0);
    const std::string folder = dir.path().substr(0, dir.path().size() - 1);
    const std::string unit = ReadFile(dir / "units/zovsvcx.service");
    EXPECT_NE(unit.find("\nType=notify\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("\nExecStart=\"" + program + "\"\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("\nWorkingDirectory=" + folder + "\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos) << unit;
    EXPECT_NE(ReadFile(dir / "units/zovsvcx.service.d/restart.conf").find("\nRestart=on-failure\n"),
              std::string::npos);
    const std::string calls = ReadFile(dir / "fake/calls");
    EXPECT_NE(calls.find("daemon-reload\nenable zovsvcx.service\n"), std::string::npos) << calls;
    EXPECT_NE(calls.find("start --no-block zovsvcx.service\n"), std::string::npos) << calls;
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST(ServiceProgram, UnreachableManagerFailsTheCommands) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    const std::vector<std::string> systemd = FakeSystemd(dir);
    WriteFile(dir / "fake/exit", "1\n");
    Output removed = RunProgram(dir, {program, "-uninstall"}, systemd);
    EXPECT_EQ(removed.text, "Could not remove ZovSvcx. Error 1\n");
    EXPECT_EQ(removed.exitCode, 1);
    Output installed = RunProgram(dir, {program, "-install"}, systemd);
    EXPECT_EQ(installed.text, "ZovSvcx failed to install. Error 1\n");
    EXPECT_EQ(installed.exitCode, 1);
    EXPECT_EQ(ReadFile(dir / "units/zovsvcx.service"), "");
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST(ServiceProgram, LifecycleUnderTheLocalServiceManager) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    ASSERT_TRUE(InstallService(program, kName, ""));
    EXPECT_EQ(GetServiceState(kName), kServiceStopped);
    EXPECT_TRUE(CServiceCtrl().ServiceExists("  ZovSvcx "));
    EXPECT_TRUE(CServiceCtrl().IsServiceStopped(kName));

    ASSERT_EQ(StartServiceWait(kName), 1);
    EXPECT_TRUE(CServiceCtrl().IsServiceRunning(kName));
    const pid_t pid = ServicePid(dir);
    ASSERT_TRUE(test::IsAlive(pid));

    // A second instance in the same program folder ends at once without reporting.
    WriteFile(dir / "debug/debug.log", "");
    const auto started = std::chrono::steady_clock::now();
    Output second =
        RunProgram(dir, {program}, {std::string(kServiceStatusVariable) + "=" + dir / "second.status"});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_NE(ReadFile(dir / "debug/debug.log").find("只能运行一个服务程序"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "second.status"), "");
    EXPECT_TRUE(IsRunning());
    EXPECT_EQ(ServicePid(dir), pid);

    EXPECT_TRUE(CServiceCtrl().StartStopService(kName, false));
    EXPECT_EQ(GetServiceState(kName), kServiceStopped);
    EXPECT_FALSE(test::IsAlive(pid));

    // A crash with restart-on-failure set: running again under a new process.
    ASSERT_TRUE(CServiceCtrl().SetRestartOnFailure(kName));
    ASSERT_TRUE(CServiceCtrl().StartStopService(kName, true));
    ASSERT_TRUE(WaitUntil(IsRunning));
    const pid_t crashed = ServicePid(dir);
    kill(crashed, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return IsRunning() && ServicePid(dir) != crashed; }));

    EXPECT_EQ(StopServiceWait(kName), 1);
    EXPECT_TRUE(DeleteServiceByName(kName));
    EXPECT_EQ(GetServiceState(kName), kServiceNotInstalled);
    EXPECT_FALSE(DeleteServiceByName(kName));
    EXPECT_TRUE(test::AllChildrenEnded());
}

// The service's own threads: the cache folder's leftovers of the service go at start, old log files on
// the log clean-up's first pass.
TEST(ServiceProgram, CleansTheCacheFolderAndOldLogsOnItsThreads) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    ini::Write(dir / "temp.ini", "CACHE", "Path", dir / "cache");
    ini::Write(dir / "config.ini", "LOG", "Save", "2");
    const std::string today = FormatLocalTime(Now(), "%Y-%m-%d") + ".log";
    const std::vector<std::string> gone = {"cache/zovsvc_AAAAA/sub/f", "Log/2000-01-01.log",
                                           "Log/Files/2000-01-01.log"};
    const std::vector<std::string> kept = {"cache/zovui_BBBBB/f", "cache/other/f", "Log/" + today,
                                           "Log/Files/" + today};
    for (const std::string& file : gone) WriteFile(dir / file, "x");
    for (const std::string& file : kept) WriteFile(dir / file, "x");

    ASSERT_TRUE(InstallService(program, kName, ""));
    ASSERT_EQ(StartServiceWait(kName), 1);
    EXPECT_TRUE(WaitUntil([&] {
        return std::none_of(gone.begin(), gone.end(),
                            [&](const std::string& file) { return std::filesystem::exists(dir / file); });
    }));
    EXPECT_FALSE(std::filesystem::exists(dir / "cache/zovsvc_AAAAA"));
    for (const std::string& file : kept) EXPECT_TRUE(std::filesystem::exists(dir / file)) << file;
    EXPECT_EQ(StopServiceWait(kName), 1);
    EXPECT_TRUE(DeleteServiceByName(kName));
    EXPECT_TRUE(test::AllChildrenEnded());
}

TEST(ServiceProgram, ReportsToSystemdAndHandlesControls) {
    test::ServiceTestFolder dir;
    const std::string program = dir.InstallServiceProgram();
    WriteFile(dir / "run/registry.ini", "[Parameters]\nStart=7\n");
    ini::Write(dir / "temp.ini", "SUCCEED", "DAY", "20000101");
    ini::Write(dir / "temp.ini", "SUCCEED", "TIME_1", "08:00");
    test::NotifyReceiver receiver(dir / "notify");
    ASSERT_TRUE(receiver.bound());

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    environment.push_back("NOTIFY_SOCKET=" + dir / "notify");
    environment.push_back(std::string(kProgramDirVariable) + "=" + dir.path());
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string programArg = program;
    char* argv[] = {programArg.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    EXPECT_EQ(receiver.Receive(), "STATUS=Starting");
    EXPECT_EQ(receiver.Receive(), "STATUS=Starting");
    EXPECT_EQ(receiver.Receive(), "READY=1\nSTATUS=Running");
    // The process start: the log folder in config.ini, a new day in the daily sections.
    EXPECT_EQ(IniFile(dir / "config.ini").Read("Dir", "LOG"), dir / "Log/");
    EXPECT_EQ(IniFile(dir / "temp.ini").Read("TIME_1", "SUCCEED"), "");
    EXPECT_EQ(IniFile(dir / "temp.ini").Read("DAY", "SUCCEED"), FormatLocalTime(Now(), "%Y%m%d"));

    // User code 128 writes the current value.
    kill(pid, SIGUSR1);
    EXPECT_EQ(receiver.Receive(), "READY=1\nSTATUS=Running");
    EXPECT_EQ(ini::Read(dir / "run/registry.ini", "Status", "Current"), "7");

    kill(pid, SIGTERM);
    EXPECT_EQ(receiver.Receive(), "STOPPING=1\nSTATUS=Stopping");
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    bool stopped = false;
    for (int message = 0; message < 3 && !stopped; ++message)
        stopped = receiver.Receive() == "STATUS=Stopped";
    EXPECT_TRUE(stopped);

    const std::string events = ReadFile(dir / "stderr.txt");
    EXPECT_NE(events.find("ZovSvcx: initialised (event 105)\n"), std::string::npos) << events;
    EXPECT_NE(events.find("ZovSvcx: stopped (event 108)\n"), std::string::npos) << events;
    EXPECT_EQ(events.find("event 106"), std::string::npos) << events;
}

}  // namespace
}  // namespace zov
