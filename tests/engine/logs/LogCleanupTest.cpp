#include <gtest/gtest.h>

#include <filesystem>

#include "engine/logs/LogCleanup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "support/ChinaTimeClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

class LogCleanupTest : public ::testing::Test {
  protected:
    LogCleanupTest() { IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/"); }

    void Make(const std::vector<std::string>& files) {
        for (const std::string& file : files) test::WriteFile(program_ / file, "line\n");
    }

    test::TempProgramDir program_;
    test::ChinaTimeClock time_{2024, 3, 10, 0, 30};
};

const std::vector<std::string> kDeleted = {
    "Log/2024-03-02.log",
    "Log/Files/2024-03-02.log",
    "Log/SQL Server/2024-03-01.log",
    "Log/MySQL/2023-12-31.log",
    "Log/1.log",
};
const std::vector<std::string> kKept = {
    "Log/2024-03-03.log",
    "Log/Files/2024-03-03.log",
    "Log/SQL Server/2024-03-10.log",
    "Log/UI.log",
    "Log/system.log",
    "Log/Files/system.log",
    "Log/UI/UI.log",
    "Log/UI/2024-01-01.log",
    "Log/notes.txt",
    "Log/Files/2024-03-02.txt",
    "Log/Files/x2024-03-01.log",
    "Log/Files/1.log",
    "Log/Other/2024-01-01.log",
    "Log/Files/2024-01-01.log/keep",
};

TEST_F(LogCleanupTest, DeletesDatedFilesOlderThanTheLimit) {
    IniFile(ConfigIniPath()).Write("Save", "LOG", "7");
    Make(kDeleted);
    Make(kKept);
    CleanOldLogs();
    for (const std::string& file : kDeleted) EXPECT_FALSE(fs::exists(program_ / file)) << file;
    for (const std::string& file : kKept) EXPECT_TRUE(fs::exists(program_ / file)) << file;
}

TEST_F(LogCleanupTest, NoLimitDeletesNothing) {
    Make(kDeleted);
    for (const char* save : {"", "0", "-3", "abc"}) {
        IniFile(ConfigIniPath()).Write("Save", "LOG", save);
        CleanOldLogs();
        for (const std::string& file : kDeleted)
            EXPECT_TRUE(fs::exists(program_ / file)) << file << " " << save;
    }
}

TEST_F(LogCleanupTest, CategoryFoldersFollowTheConfiguredLogFolder) {
    IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Elsewhere");
    IniFile(ConfigIniPath()).Write("Save", "LOG", "1");
    Make({"Elsewhere/Files/2024-03-08.log", "Elsewhere/Files/2024-03-09.log", "Log/2024-03-08.log"});
    CleanOldLogs();
    EXPECT_FALSE(fs::exists(program_ / "Elsewhere/Files/2024-03-08.log"));
    EXPECT_TRUE(fs::exists(program_ / "Elsewhere/Files/2024-03-09.log"));
    EXPECT_FALSE(fs::exists(program_ / "Log/2024-03-08.log"));
}

}  // namespace
}  // namespace zov
