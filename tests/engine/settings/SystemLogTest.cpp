#include <gtest/gtest.h>

#include <filesystem>

#include "engine/settings/SystemLog.h"
#include "support/ChinaTimeClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

class SystemLogTest : public ::testing::Test {
  protected:
    ~SystemLogTest() override { SetDebugSwitch(false); }

    test::TempProgramDir program_;
    test::ChinaTimeClock time_{2024, 3, 10, 9, 15, 30};
};

TEST_F(SystemLogTest, SystemLogLines) {
    EXPECT_TRUE(WriteSystemLog("进入文件备份。"));
    EXPECT_TRUE(WriteSystemLog("second"));
    EXPECT_FALSE(WriteSystemLog(""));
    EXPECT_EQ(test::ReadFile(program_ / "Log/Files/system.log"),
              "2024-03-10 09:15:30\t进入文件备份。\n2024-03-10 09:15:30\tsecond\n");
    EXPECT_TRUE(WriteSystemLog("replaced", false));
    EXPECT_EQ(test::ReadFile(program_ / "Log/Files/system.log"), "2024-03-10 09:15:30\treplaced\n");
}

TEST_F(SystemLogTest, DebugLogOnlyWhenItsFileExistedAtStart) {
    InitDebugSwitch();
    EXPECT_FALSE(DebugSwitch());
    EXPECT_FALSE(WriteSystemLog("hidden", true, true));
    EXPECT_FALSE(std::filesystem::exists(program_ / "debug"));

    test::WriteFile(program_ / "debug/debug.log", "");
    EXPECT_FALSE(WriteSystemLog("still hidden", true, true));
    InitDebugSwitch();
    EXPECT_TRUE(DebugSwitch());
    EXPECT_TRUE(WriteSystemLog("shown", true, true));
    EXPECT_EQ(test::ReadFile(program_ / "debug/debug.log"), "2024-03-10 09:15:30\tshown\n");
    EXPECT_FALSE(std::filesystem::exists(program_ / "Log/Files/system.log"));
}

TEST_F(SystemLogTest, WriteTextFileAndAppendLine) {
    const std::string path = program_ / "out.txt";
    struct Step {
        std::string text;
        bool newline, append, ok;
        std::string content;
    };
    const Step steps[] = {
        {"a", false, true, true, "a"}, {"b", true, true, true, "ab\n"}, {"c", false, false, true, "c"},
        {"", true, true, false, "c"},  {"d", true, true, true, "cd\n"},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(WriteTextFile(path, s.text, s.newline, s.append), s.ok) << s.text;
        EXPECT_EQ(test::ReadFile(path), s.content) << s.text;
    }
    EXPECT_TRUE(AppendLine("/srv/data/a.txt", program_ / "list.ls"));
    EXPECT_TRUE(AppendLine("/srv/data/b.txt", program_ / "list.ls"));
    EXPECT_EQ(test::ReadFile(program_ / "list.ls"), "/srv/data/a.txt\n/srv/data/b.txt\n");
    EXPECT_TRUE(AppendLine("new", program_ / "list.ls", false));
    EXPECT_EQ(test::ReadFile(program_ / "list.ls"), "new\n");
    EXPECT_FALSE(WriteTextFile("", "x", true, true));
    EXPECT_FALSE(WriteTextFile(program_ / "missing/out.txt", "x", true, true));
}

}  // namespace
}  // namespace zov
