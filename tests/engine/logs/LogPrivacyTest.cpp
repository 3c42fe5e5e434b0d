#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/logs/LogCleanup.h"
#include "engine/logs/LogPrivacy.h"
#include "engine/logs/QelLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "support/ChinaTimeClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

void WriteRecord(int category) {
    CQelLog log;
    log.SetCategory(category);
    log.Start();
    log.SetTaskName("secret table data");
    log.SetResult(kLogFailed);
    ASSERT_TRUE(log.Write()) << category;
}

class LogPrivacyTest : public ::testing::Test {
  protected:
    LogPrivacyTest() : umask_(umask(022)) { IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/"); }
    ~LogPrivacyTest() override { umask(umask_); }

    mode_t umask_;
    test::TempProgramDir program_;
    test::ChinaTimeClock time_{2024, 3, 10, 8, 30};
    const std::string outside_ = program_ / "outside/notes.txt";
};

// Each case makes the log tree its own way; every entry listed then has its mode, whatever the umask.
TEST_F(LogPrivacyTest, LogsAreOnlyTheOwners) {
    struct Case {
        const char* what;
        std::function<void()> make;
        std::vector<std::pair<std::string, mode_t>> modes;
    };
    const std::vector<Case> cases = {
        {"written fresh",
         [] {
             for (int category : {kLogFiles, kLogSqlServer, kLogMySql, kLogInterface}) WriteRecord(category);
             ASSERT_TRUE(WriteSystemLog("started"));
         },
         {{"Log", 0700},
          {"Log/Files", 0700},
          {"Log/SQL Server", 0700},
          {"Log/MySQL", 0700},
          {"Log/UI", 0700},
          {"Log/Files/2024-03-10.log", 0600},
          {"Log/SQL Server/2024-03-10.log", 0600},
          {"Log/MySQL/2024-03-10.log", 0600},
          {"Log/UI/UI.log", 0600},
          {"Log/Files/system.log", 0600}}},
        {"left open, then narrowed at start",
         [&] {
             for (const char* file :
                  {"Log/Files/2024-03-10.log", "Log/Files/2024-01-01.log", "Log/Files/system.log",
                   "Log/UI/UI.log", "Log/MySQL/old/2024-03-09.log"}) {
                 test::WriteFile(program_ / file, "line\n");
                 fs::permissions(program_ / file, fs::perms(0644));
             }
             fs::permissions(program_ / "Log/MySQL/old/2024-03-09.log", fs::perms(0666));
             for (const char* folder : {"Log", "Log/Files", "Log/UI", "Log/MySQL", "Log/MySQL/old"}) {
                 fs::permissions(program_ / folder, fs::perms(0755));
             }
             test::WriteFile(outside_, "not a log\n");
             fs::permissions(outside_, fs::perms(0644));
             fs::permissions(program_ / "outside", fs::perms(0755));
             fs::create_symlink(outside_, program_ / "Log/Files/2024-03-08.log");
             fs::create_directory_symlink(program_ / "outside", program_ / "Log/Linked");
             KeepLogsPrivate();
         },
         {{"Log", 0700},
          {"Log/Files", 0700},
          {"Log/UI", 0700},
          {"Log/MySQL/old", 0700},
          {"Log/Files/2024-03-10.log", 0600},
          {"Log/Files/system.log", 0600},
          {"Log/UI/UI.log", 0600},
          {"Log/MySQL/old/2024-03-09.log", 0600},
          {"outside/notes.txt", 0644},
          {"outside", 0755}}},
    };
    for (const Case& c : cases) {
        fs::remove_all(program_ / "Log");
        fs::remove_all(program_ / "outside");
        c.make();
        for (const auto& [path, mode] : c.modes) {
            EXPECT_EQ(ModeOf(program_ / path), mode) << c.what << ": " << path;
        }
    }
    EXPECT_TRUE(fs::is_symlink(program_ / "Log/Files/2024-03-08.log")) << "the link stays a link";
    EXPECT_NE(test::ReadFile(program_ / "Log/Files/system.log").find("已改为仅所有者可读写"),
              std::string::npos)
        << "the narrowing is reported";

    IniFile(ConfigIniPath()).Write("Save", "LOG", "7");
    CleanOldLogs();
    EXPECT_FALSE(fs::exists(program_ / "Log/Files/2024-01-01.log")) << "the clean-up still deletes old logs";
    EXPECT_TRUE(fs::exists(program_ / "Log/Files/2024-03-10.log"));
    EXPECT_EQ(test::ReadFile(outside_), "not a log\n");
}

}  // namespace
}  // namespace zov
