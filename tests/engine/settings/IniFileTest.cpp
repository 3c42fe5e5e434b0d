#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

enum class WordOp { Add, Remove };

TEST(IniFileTest, WordListsOfTimes) {
    struct Case {
        const char* before;  // "" leaves the key out
        WordOp op;
        const char* word;
        const char* after;  // "" means the key is gone
    } cases[] = {
        {"", WordOp::Add, "08:00", "08:00"},
        {"07:00", WordOp::Add, "08:00", "07:00 08:00"},
        {"07:00 08:00", WordOp::Add, "08:00", "07:00 08:00"},
        {"07:00", WordOp::Add, "", "07:00"},
        {"07:00 08:00 09:00", WordOp::Remove, "08:00", "07:00 09:00"},
        {"07:00 08:00 09:00", WordOp::Remove, "07:00", "08:00 09:00"},
        {"07:00 08:00 09:00", WordOp::Remove, "09:00", "07:00 08:00"},
        {"08:00", WordOp::Remove, "08:00", ""},
        {"08:00 08:00", WordOp::Remove, "08:00", ""},
        {"07:00 08:00", WordOp::Remove, "10:00", "07:00 08:00"},
        {"07:00", WordOp::Remove, "", "07:00"},
        {"", WordOp::Remove, "08:00", ""},
    };
    for (const Case& c : cases) {
        test::TempProgramDir dir;
        IniFile ini(dir / "temp.ini");
        if (*c.before != '\0') {
            ASSERT_TRUE(ini.Write("TIME_7", "SUCCEED", c.before));
        }
        bool ok = c.op == WordOp::Add ? ini.AddWord("TIME_7", "SUCCEED", c.word)
                                      : ini.RemoveWord("TIME_7", "SUCCEED", c.word);
        EXPECT_TRUE(ok) << c.before << " / " << c.word;
        EXPECT_EQ(ini.Read("TIME_7", "SUCCEED"), c.after) << c.before << " / " << c.word;
        if (*c.after == '\0') {
            EXPECT_EQ(test::ReadFile(ini.path()).find("TIME_7"), std::string::npos);
        }
    }
}

TEST(IniFileTest, HasWord) {
    test::TempProgramDir dir;
    IniFile ini(dir / "temp.ini");
    ASSERT_TRUE(ini.Write("TIME_1", "RUNNING", "07:00 08:00"));
    ASSERT_TRUE(ini.Write("3", "TEMPTASKS", "running"));
    EXPECT_TRUE(ini.HasWord("TIME_1", "RUNNING", "08:00"));
    EXPECT_TRUE(ini.HasWord("time_1", "running", "07:00"));
    EXPECT_FALSE(ini.HasWord("TIME_1", "RUNNING", "09:00"));
    EXPECT_FALSE(ini.HasWord("TIME_1", "RUNNING", ""));
    EXPECT_FALSE(ini.HasWord("TIME_2", "RUNNING", "08:00"));
    EXPECT_TRUE(ini.HasWord("3", "TEMPTASKS", "RUNNING"));
}

TEST(IniFileTest, ReadWriteTakeKeyBeforeSection) {
    test::TempProgramDir dir;
    IniFile ini;
    EXPECT_FALSE(ini.Write("rar_path", "SYSTEM", "/usr/bin/rar")) << "no path yet";
    EXPECT_EQ(ini.Read("rar_path", "SYSTEM"), "");
    ini.SetPath(dir / "temp.ini");
    ASSERT_TRUE(ini.Write("rar_path", "SYSTEM", "/usr/bin/rar"));
    ASSERT_TRUE(ini.Write("TIME_1", "RUNNING", "08:00"));
    EXPECT_EQ(test::ReadFile(ini.path()), "[SYSTEM]\nrar_path=/usr/bin/rar\n[RUNNING]\nTIME_1=08:00\n");
    EXPECT_TRUE(ini.Write("", "RUNNING", "")) << "empty key removes the section";
    EXPECT_EQ(test::ReadFile(ini.path()), "[SYSTEM]\nrar_path=/usr/bin/rar\n");
    EXPECT_FALSE(ini.Write("k", "", "v"));
    EXPECT_FALSE(ini.AddWord("", "RUNNING", "08:00")) << "never turns into a section delete";
}

TEST(IniFileTest, TempTaskIdsListEveryKey) {
    test::TempProgramDir dir;
    IniFile ini(dir / "temp.ini");
    std::vector<std::string> expected = {"DAY"};
    ASSERT_TRUE(ini.Write("DAY", "TEMPTASKS", "20240510"));
    for (int id = 1000; id < 1300; ++id) {  // well over 1,024 bytes of names
        expected.push_back(std::to_string(id));
        ASSERT_TRUE(ini.Write(expected.back(), "TEMPTASKS", id % 2 ? "RUNNING" : "FAILED"));
    }
    ASSERT_TRUE(ini.Write("1", "CURTASK", "x"));
    EXPECT_EQ(ini.GetTempTaskIds(), expected);
    EXPECT_TRUE(IniFile(dir / "missing.ini").GetTempTaskIds().empty());
}

class DailyResetTest : public ::testing::Test {
  protected:
    test::InstalledClock clock_{MakeLocalTime(2024, 5, 10, 0, 0, 5)};
};

TEST_F(DailyResetTest, ClearsOnlySectionsOfEarlierDays) {
    struct Case {
        const char* before;
        const char* after;
    } cases[] = {
        {"[SUCCEED]\nDAY=20240509\nTIME_1=08:00\n[X]\na=1\n", "[SUCCEED]\nDAY=20240510\n[X]\na=1\n"},
        {"[SUCCEED]\nTIME_1=08:00\n", "[SUCCEED]\nDAY=20240510\n"},
        {"[SUCCEED]\nTIME_1=08:00\nday=\n", "[SUCCEED]\nDAY=20240510\n"},
        {"[succeed]\nDay=20231231\nTIME_1=08:00\n\n[X]\n", "[succeed]\nDAY=20240510\n\n[X]\n"},
        {"[SUCCEED]\nDAY=20240510\nTIME_1=08:00\n", "[SUCCEED]\nDAY=20240510\nTIME_1=08:00\n"},
        {"[SUCCEED]\nDAY=20990101\nTIME_1=08:00\n", "[SUCCEED]\nDAY=20990101\nTIME_1=08:00\n"},
        {"", "[SUCCEED]\nDAY=20240510\n"},
    };
    for (const Case& c : cases) {
        test::TempProgramDir dir;
        IniFile ini(dir / "temp.ini");
        if (*c.before != '\0') test::WriteFile(ini.path(), c.before);
        EXPECT_TRUE(ini.ResetDailySection("SUCCEED"));
        EXPECT_EQ(test::ReadFile(ini.path()), c.after) << c.before;
    }
}

TEST_F(DailyResetTest, NextDayClearsWhatTodayWrote) {
    test::TempProgramDir dir;
    IniFile ini(dir / "temp.ini");
    for (const char* section : {"SUCCEED", "RUNNING", "FAILED", "TEMPTASKS"})
        ASSERT_TRUE(ini.ResetDailySection(section));
    ASSERT_TRUE(ini.AddWord("TIME_4", "FAILED", "23:59"));
    ASSERT_TRUE(ini.Write("4", "TEMPTASKS", "RUNNING"));
    ASSERT_TRUE(ini.ResetDailySection("FAILED"));
    EXPECT_TRUE(ini.HasWord("TIME_4", "FAILED", "23:59"));
    clock_.Set(MakeLocalTime(2024, 5, 11, 0, 0, 1));
    ASSERT_TRUE(ini.ResetDailySection("FAILED"));
    ASSERT_TRUE(ini.ResetDailySection("TEMPTASKS"));
    EXPECT_FALSE(ini.HasWord("TIME_4", "FAILED", "23:59"));
    EXPECT_EQ(ini.Read("DAY", "FAILED"), "20240511");
    EXPECT_EQ(ini.GetTempTaskIds(), std::vector<std::string>{"DAY"});
    EXPECT_EQ(ini.Read("DAY", "RUNNING"), "20240510") << "sections are reset one by one";
    EXPECT_TRUE(ini.ResetDailySection(""));
}

std::string Word(int writer, int index) {
    char word[16];
    std::snprintf(word, sizeof word, "w%d-%03d", writer, index);
    return word;
}

// Adds (or removes) its words one call at a time; 0 when every call succeeded.
int ChangeWords(const std::string& path, int writer, int count, WordOp op) {
    IniFile ini(path);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        bool ok = op == WordOp::Add ? ini.AddWord("TIME_1", "RUNNING", Word(writer, i))
                                    : ini.RemoveWord("TIME_1", "RUNNING", Word(writer, i));
        if (!ok) ++failures;
    }
    return failures;
}

// Two processes with three threads each, all changing the same key at the same time.
void RunConcurrently(const std::string& path, WordOp op, int count) {
    constexpr int kProcesses = 2;
    constexpr int kThreads = 3;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t child = fork();
        if (child == 0) {
            std::vector<std::thread> threads;
            std::atomic<int> failures{0};
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([&, t] { failures += ChangeWords(path, p * kThreads + t, count, op); });
            }
            for (std::thread& thread : threads) thread.join();
            _exit(failures == 0 ? 0 : 1);
        }
        ASSERT_GT(child, 0);
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

TEST(IniFileConcurrencyTest, ProcessesAndThreadsLoseNoWord) {
    test::TempProgramDir dir;
    const std::string path = dir / "temp.ini";
    constexpr int kWords = 100;
    RunConcurrently(path, WordOp::Add, kWords);
    IniFile ini(path);
    const std::string list = ini.Read("TIME_1", "RUNNING");
    EXPECT_EQ(list.size(), 6u * kWords * 7 - 1) << "six writers, seven bytes a word with its blank";
    for (int writer = 0; writer < 6; ++writer) {
        for (int i = 0; i < kWords; ++i) EXPECT_TRUE(ini.HasWord("TIME_1", "RUNNING", Word(writer, i)));
    }

    RunConcurrently(path, WordOp::Remove, kWords / 2);
    for (int writer = 0; writer < 6; ++writer) {
        for (int i = 0; i < kWords; ++i) {
            EXPECT_EQ(ini.HasWord("TIME_1", "RUNNING", Word(writer, i)), i >= kWords / 2) << Word(writer, i);
        }
    }
    EXPECT_EQ(ini.Read("TIME_1", "RUNNING").size(), 6u * (kWords / 2) * 7 - 1);
}

// A file too large is refused on every call but logged once per change of the file: the scheduler meets
// it every few seconds.
TEST(IniFileTest, ARefusedFileIsLoggedOncePerChange) {
    test::TempProgramDir dir;
    const std::string path = dir / "temp.ini";
    test::WriteFile(path, "[RUNNING]\nTIME_1=08:00\n");
    ASSERT_EQ(truncate(path.c_str(), (16 << 20) + 1), 0);
    IniFile ini(path);
    auto refusedEverywhere = [&] {
        EXPECT_EQ(ini.TryRead("TIME_1", "RUNNING"), std::nullopt);
        EXPECT_EQ(ini.Read("TIME_1", "RUNNING"), "");
        EXPECT_FALSE(ini.HasWord("TIME_1", "RUNNING", "08:00"));
        EXPECT_FALSE(ini.Write("TIME_1", "RUNNING", "09:00"));
        EXPECT_FALSE(ini.AddWord("TIME_1", "RUNNING", "09:00"));
        EXPECT_FALSE(ini.RemoveWord("TIME_1", "RUNNING", "08:00"));
        EXPECT_FALSE(ini.ResetDailySection("RUNNING"));
        EXPECT_TRUE(ini.GetTempTaskIds().empty());
    };
    auto logLines = [&] {
        std::vector<std::string> lines;
        SplitToList(lines, test::ReadFile(dir / "Log/Files/system.log"), '\n', true, 1);
        for (const std::string& line : lines)
            EXPECT_NE(line.find(path + ": larger than 16 MiB"), std::string::npos) << line;
        return lines.size();
    };
    refusedEverywhere();
    refusedEverywhere();
    EXPECT_EQ(logLines(), 1u);
    ASSERT_EQ(truncate(path.c_str(), (16 << 20) + 2), 0);
    refusedEverywhere();
    EXPECT_EQ(logLines(), 2u) << "a changed file is news again";

    EXPECT_TRUE(IniFile(dir / "config.ini").Write("Dir", "LOG", dir / "Log/"));
    EXPECT_EQ(IniFile(dir / "config.ini").Read("Dir", "LOG"), dir / "Log/");
    EXPECT_EQ(logLines(), 2u) << "calls that succeed log nothing";
}

TEST(ProgramFilesTest, PathsFollowTheProgramFolder) {
    test::TempProgramDir dir;
    EXPECT_EQ(ConfigIniPath(), dir / "config.ini");
    EXPECT_EQ(TempIniPath(), dir / "temp.ini");
    EXPECT_EQ(TaskDbPath(), dir / "task.db");
    EXPECT_EQ(DebugLogPath(), dir / "debug/debug.log");
    EXPECT_EQ(RunFolder(), dir / "run/");
    EXPECT_EQ(LogFolderDefault(), dir / "Log/");
    EXPECT_EQ(LogFolder(), dir / "Log/") << "no [LOG] Dir yet";
    ASSERT_TRUE(IniFile(ConfigIniPath()).Write("Dir", "LOG", "/var/log/zov"));
    EXPECT_EQ(LogFolder(), "/var/log/zov/");
    ASSERT_TRUE(IniFile(ConfigIniPath()).Write("Dir", "LOG", LogFolderDefault()));
    EXPECT_EQ(LogFolder(), dir / "Log/");
}

}  // namespace
}  // namespace zov
