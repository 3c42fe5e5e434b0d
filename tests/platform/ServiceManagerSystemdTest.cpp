#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ProcFind.h"
#include "platform/ServiceManagerCommandLine.h"
#include "platform/ServiceManagerSystemd.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::ReadFile;
using test::WriteFile;

// A fake "systemctl" first on PATH: records every call (one line of arguments), answers "show" from
// answers/<unit> (a missing unit is "not-found") and the list commands from answers/<command>; exits
// with the number in answers/exit, or in answers/exit-<command> for that command, when the file exists.
class FakeSystemctl {
  public:
    explicit FakeSystemctl(const test::TempProgramDir& dir) : folder_(dir / "fake/") {
        WriteFile(
            folder_ + "systemctl",
            "#!/bin/sh\n"
            "dir='" +
                folder_ +
                "'\n"
                "printf '%s\\n' \"$*\" >> \"$dir/calls\"\n"
                "[ -f \"$dir/answers/exit\" ] && exit \"$(cat \"$dir/answers/exit\")\"\n"
                "[ -f \"$dir/answers/exit-$1\" ] && exit \"$(cat \"$dir/answers/exit-$1\")\"\n"
                "case \"$1\" in\n"
                "show)\n"
                "  shift 3\n"
                "  first=1\n"
                "  for unit in \"$@\"; do\n"
                "    [ $first = 1 ] || echo\n"
                "    first=0\n"
                "    if [ -f \"$dir/answers/$unit\" ]; then cat \"$dir/answers/$unit\"\n"
                "    else printf 'Id=%s\\nLoadState=not-found\\nActiveState=inactive\\nSubState=dead\\n' "
                "\"$unit\"; fi\n"
                "  done ;;\n"
                "list-units|list-unit-files) cat \"$dir/answers/$1\" 2>/dev/null ;;\n"
                "esac\n"
                "exit 0\n");
        chmod((folder_ + "systemctl").c_str(), 0755);
        WriteFile(folder_ + "answers/.keep", "");
        oldPath_ = getenv("PATH");
        setenv("PATH", (folder_ + ":" + oldPath_).c_str(), 1);
    }
    ~FakeSystemctl() { setenv("PATH", oldPath_.c_str(), 1); }

    void Answer(const std::string& name, const std::string& text) {
        WriteFile(folder_ + "answers/" + name, text);
    }
    void Unit(const std::string& unit, const std::string& load, const std::string& active,
              const std::string& sub) {
        Answer(unit,
               "Id=" + unit + "\nLoadState=" + load + "\nActiveState=" + active + "\nSubState=" + sub + "\n");
    }
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        std::string text = ReadFile(folder_ + "calls");
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            calls.push_back(text.substr(start, end - start));
        }
        return calls;
    }
    void Forget(const std::string& unit) { unlink((folder_ + "answers/" + unit).c_str()); }
    void ClearCalls() { unlink((folder_ + "calls").c_str()); }

  private:
    std::string folder_;
    std::string oldPath_;
};

class SystemdBackend : public ::testing::Test {
  protected:
    test::TempProgramDir dir;
    FakeSystemctl systemctl{dir};
    std::string units = dir / "units/";
    SystemdServiceManager manager{units};

    ServiceConfig Config() {
        ServiceConfig config;
        config.name = "ZovSvcx";
        config.displayName = "ZovSvcx";
        config.command = {dir / "zovsvc"};
        return config;
    }
};

TEST_F(SystemdBackend, InstallWritesTheUnitReloadsAndEnables) {
    ASSERT_TRUE(manager.Install(Config()));
    EXPECT_EQ(systemctl.Calls(),
              (std::vector<std::string>{"show -p LoadState,ActiveState,SubState zovsvcx.service",
                                        "daemon-reload", "enable zovsvcx.service"}));
    const std::string folder = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_EQ(ReadFile(units + "zovsvcx.service"),
              "[Unit]\n"
              "Description=ZovSvcx\n"
              "\n"
              "[Service]\n"
              "Type=notify\n"
              "ExecStart=\"" +
                  dir / "zovsvc" +
                  "\"\n"
                  "WorkingDirectory=" +
                  folder +
                  "\n"
                  "\n"
                  "[Install]\n"
                  "WantedBy=multi-user.target\n");
    struct stat info {};
    ASSERT_EQ(stat((units + "zovsvcx.service").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(SystemdBackend, UnitTextQuotesArgumentsAndEscapesSpecifiers) {
    ServiceConfig config;
    config.name = "Other";
    config.displayName = "100% other";
    config.command = {"/opt/my app/prog", "say \"hi\"", "$HOME", "50%"};
    config.autoStart = false;
    const std::string text = SystemdServiceManager::UnitText(config);
    EXPECT_NE(text.find("Description=100%% other\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ExecStart=\"/opt/my app/prog\" \"say \\\"hi\\\"\" \"$$HOME\" \"50%%\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("WorkingDirectory=/opt/my app\n"), std::string::npos) << text;

    ASSERT_TRUE(manager.Install(config));
    EXPECT_EQ(systemctl.Calls().back(), "daemon-reload");  // no "enable" without automatic start
}

TEST_F(SystemdBackend, InstallRefusesAnExistingServiceAndRollsBackAFailedEnable) {
    systemctl.Unit("zovsvcx.service", "loaded", "inactive", "dead");
    EXPECT_FALSE(manager.Install(Config()));
    EXPECT_EQ(manager.lastError(), EEXIST);
    EXPECT_FALSE(std::filesystem::exists(units + "zovsvcx.service"));

    systemctl.Forget("zovsvcx.service");
    systemctl.Answer("exit-enable", "1");
    systemctl.ClearCalls();
    EXPECT_FALSE(manager.Install(Config()));
    EXPECT_FALSE(std::filesystem::exists(units + "zovsvcx.service"));
    EXPECT_EQ(systemctl.Calls(),
              (std::vector<std::string>{"show -p LoadState,ActiveState,SubState zovsvcx.service",
                                        "daemon-reload", "enable zovsvcx.service", "daemon-reload"}));

    systemctl.Answer("exit", "1");
    EXPECT_FALSE(manager.Install(Config()));  // systemd cannot be reached
}

struct StateCase {
    const char* load;
    const char* active;
    const char* sub;
    int state;
};

TEST_F(SystemdBackend, MapsUnitStatesToServiceStates) {
    const StateCase cases[] = {
        {"loaded", "active", "running", kServiceRunning},
        {"loaded", "reloading", "reload", kServiceRunning},
        {"loaded", "active", "exited", kServiceStopped},
        {"loaded", "activating", "start", kServiceStartPending},
        {"loaded", "activating", "auto-restart", kServiceStartPending},
        {"loaded", "deactivating", "stop-sigterm", kServiceStopPending},
        {"loaded", "inactive", "dead", kServiceStopped},
        {"loaded", "failed", "failed", kServiceStopped},
        {"masked", "inactive", "dead", kServiceStopped},
        {"not-found", "inactive", "dead", kServiceNotInstalled},
    };
    for (const StateCase& c : cases) {
        systemctl.Unit("zovsvcx.service", c.load, c.active, c.sub);
        EXPECT_EQ(manager.GetState("ZovSvcx"), c.state) << c.load << " " << c.active << " " << c.sub;
    }
    systemctl.Answer("exit", "1");
    EXPECT_EQ(manager.GetState("ZovSvcx"), kServiceManagerUnreachable);
}

TEST_F(SystemdBackend, StartStopAndStartTypeCommands) {
    systemctl.Unit("zovsvcx.service", "loaded", "inactive", "dead");
    EXPECT_TRUE(manager.Start("ZovSvcx"));
    EXPECT_TRUE(manager.Stop("ZovSvcx"));
    EXPECT_TRUE(manager.SetStartType("ZovSvcx", kServiceAutoStart));
    EXPECT_TRUE(manager.SetStartType("ZovSvcx", kServiceDemandStart));
    EXPECT_TRUE(manager.SetStartType("ZovSvcx", kServiceDisabled));
    EXPECT_FALSE(manager.SetStartType("ZovSvcx", 9));
    EXPECT_EQ(systemctl.Calls(),
              (std::vector<std::string>{"start --no-block zovsvcx.service", "stop --no-block zovsvcx.service",
                                        "enable zovsvcx.service", "disable zovsvcx.service",
                                        "disable zovsvcx.service"}));
    systemctl.Answer("exit", "5");
    EXPECT_FALSE(manager.Start("ZovSvcx"));
    EXPECT_EQ(manager.lastError(), 5);
}

TEST_F(SystemdBackend, RestartOnFailureIsADropIn) {
    EXPECT_FALSE(manager.SetRestartOnFailure("ZovSvcx"));  // not installed
    EXPECT_FALSE(std::filesystem::exists(units + "zovsvcx.service.d"));

    systemctl.Unit("zovsvcx.service", "loaded", "active", "running");
    systemctl.ClearCalls();
    ASSERT_TRUE(manager.SetRestartOnFailure("ZovSvcx"));
    EXPECT_EQ(ReadFile(units + "zovsvcx.service.d/restart.conf"),
              "[Service]\n"
              "Restart=on-failure\n"
              "RestartSec=0\n");
    EXPECT_EQ(systemctl.Calls(),
              (std::vector<std::string>{"show -p LoadState,ActiveState,SubState zovsvcx.service",
                                        "daemon-reload"}));
}

TEST_F(SystemdBackend, RemoveDisablesAndDeletesUnitAndDropIn) {
    ASSERT_TRUE(manager.Install(Config()));
    systemctl.Unit("zovsvcx.service", "loaded", "inactive", "dead");
    ASSERT_TRUE(manager.SetRestartOnFailure("ZovSvcx"));
    systemctl.ClearCalls();
    ASSERT_TRUE(manager.Remove("ZovSvcx"));
    EXPECT_EQ(systemctl.Calls(), (std::vector<std::string>{"disable zovsvcx.service", "daemon-reload"}));
    EXPECT_FALSE(std::filesystem::exists(units + "zovsvcx.service"));
    EXPECT_FALSE(std::filesystem::exists(units + "zovsvcx.service.d"));

    // A unit that is not in our unit folder is not ours to delete.
    systemctl.Unit("mariadb.service", "loaded", "active", "running");
    EXPECT_FALSE(manager.Remove("mariadb.service"));
    EXPECT_EQ(manager.lastError(), EPERM);
    systemctl.Forget("zovsvcx.service");
    EXPECT_FALSE(manager.Remove("ZovSvcx"));
    EXPECT_EQ(manager.lastError(), ENOENT);
}

TEST_F(SystemdBackend, QueryReadsProgramCommandLineAndAccount) {
    systemctl.Answer(
        "mariadb.service",
        "Id=mariadb.service\nDescription=MariaDB database server\nLoadState=loaded\n"
        "ActiveState=inactive\nSubState=dead\n"
        "ExecStart={ path=/usr/sbin/mariadbd ; argv[]=/usr/sbin/mariadbd --user=mysql ; "
        "ignore_errors=no ; start_time=[n/a] ; stop_time=[n/a] ; pid=0 ; code=(null) ; status=0/0 }\n"
        "User=mysql\nMainPID=0\n");
    std::optional<ServiceInfo> info = manager.Query("mariadb.service");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->name, "mariadb.service");
    EXPECT_EQ(info->displayName, "MariaDB database server");
    EXPECT_EQ(info->imagePath, "/usr/sbin/mariadbd");
    EXPECT_EQ(info->commandLine, "/usr/sbin/mariadbd --user=mysql");
    EXPECT_EQ(info->account, "mysql");
    EXPECT_EQ(systemctl.Calls().back(),
              "show -p Id,Description,LoadState,ActiveState,SubState,ExecStart,User,MainPID mariadb.service");

    // A running service's command line is its main process's; no User= is the super-user.
    systemctl.Answer("zovsvcx.service",
                     "Id=zovsvcx.service\nLoadState=loaded\nActiveState=active\nSubState=running\n"
                     "ExecStart={ path=/x ; argv[]=/x ; }\nUser=\nMainPID=" +
                         std::to_string(getpid()) + "\n");
    info = manager.Query("ZovSvcx");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->commandLine, JoinCommandLine(ReadProcessInfo(getpid())->arguments));
    EXPECT_EQ(info->account, "root");

    EXPECT_FALSE(manager.Query("absent.service").has_value());
}

TEST_F(SystemdBackend, ListJoinsLoadedUnitsAndUnitFiles) {
    systemctl.Answer("list-units",
                     "cron.service loaded active running Regular background program\n"
                     "getty@tty1.service loaded active running Getty on tty1\n");
    systemctl.Answer("list-unit-files",
                     "cron.service enabled enabled\ngetty@.service enabled enabled\n"
                     "mariadb.service enabled enabled\nsshd.socket enabled enabled\n");
    systemctl.Unit("cron.service", "loaded", "active", "running");
    systemctl.Unit("getty@tty1.service", "loaded", "active", "running");
    systemctl.Unit("mariadb.service", "loaded", "inactive", "dead");
    std::optional<std::vector<ServiceInfo>> services = manager.List();
    ASSERT_TRUE(services.has_value());
    std::vector<std::string> names;
    for (const ServiceInfo& info : *services) names.push_back(info.name);
    EXPECT_EQ(names, (std::vector<std::string>{"cron.service", "getty@tty1.service", "mariadb.service"}));
    EXPECT_EQ(systemctl.Calls().back(),
              "show -p Id,Description,LoadState,ActiveState,SubState,ExecStart,User,MainPID cron.service "
              "getty@tty1.service mariadb.service");

    systemctl.Answer("exit", "1");
    EXPECT_FALSE(manager.List().has_value());
}

TEST(SystemdUnitName, LowerCasesNamesAndKeepsUnitNames) {
    EXPECT_EQ(SystemdServiceManager::UnitName("ZovSvcx"), "zovsvcx.service");
    EXPECT_EQ(SystemdServiceManager::UnitName("NetworkManager.service"), "NetworkManager.service");
}

}  // namespace
}  // namespace zov
