#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>

#include "engine/logs/LogLine.h"
#include "engine/logs/QelLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

TEST(LogLineTest, ReadsBackWhatTheWriterWrote) {
    test::TempProgramDir program;
    IniFile(ConfigIniPath()).Write("Dir", "LOG", program / "Log/");
    CQelLog record;
    record.SetCategory(kLogFiles);
    record.Start();
    record.SetTaskId(12);
    record.SetTaskName("");
    record.SetType(4);
    record.SetItem("/srv/有\t空格 的/");
    record.SetTarget("");
    record.SetResult(kLogFailed);
    record.SetMessage("第一行\n第二行");
    ASSERT_TRUE(record.Write());

    std::istringstream lines(test::ReadFile(record.GetLogPath()));
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const std::optional<LogRecord> read = ParseLogLine(line);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->category, "文件日志");
    EXPECT_EQ(read->startTime, FormatLocalTime(record.GetStartTime(), "%Y-%m-%d %H:%M:%S"));
    EXPECT_EQ(read->taskId, 12);
    EXPECT_EQ(read->taskName, "") << "empty columns keep their place";
    EXPECT_EQ(read->operation, "差异");
    EXPECT_EQ(read->item, "/srv/有 空格 的/");
    EXPECT_EQ(read->target, "");
    EXPECT_EQ(read->result, kLogFailed);
    EXPECT_EQ(read->message, "第一行 第二行");
    EXPECT_TRUE(read->hasMessage);
}

TEST(LogLineTest, ColumnCounts) {
    struct Case {
        const char* name;
        std::string line;
        bool valid;
        bool hasMessage;
        int taskId;
    };
    const Case cases[] = {
        {"ten columns", "文件日志\t2024-03-10 09:15:30\t7\tn\t普通\t/a\t/b\t1秒\t成功\tm", true, true, 7},
        {"nine columns", "文件日志\t2024-03-10 09:15:30\t7\tn\t普通\t/a\t/b\t1秒\t成功", true, false, 7},
        {"eight columns", "文件日志\t2024-03-10 09:15:30\t7\tn\t普通\t/a\t/b\t1秒", false, false, 0},
        {"eleven columns", "文件日志\t2024-03-10 09:15:30\t7\tn\t普通\t/a\t/b\t1秒\t成功\tm\tx", false, false,
         0},
        {"negative id", "文件日志\t2024-03-10 09:15:30\t-3\tn\t普通\t/a\t/b\t1秒\t成功\tm", true, true, -3},
        {"id that is no number", "文件日志\t2024-03-10 09:15:30\tx\tn\t普通\t/a\t/b\t1秒\t成功", true, false,
         0},
        {"empty line", "", false, false, 0},
    };
    for (const Case& c : cases) {
        const std::optional<LogRecord> read = ParseLogLine(c.line);
        ASSERT_EQ(read.has_value(), c.valid) << c.name;
        if (!read) continue;
        EXPECT_EQ(read->hasMessage, c.hasMessage) << c.name;
        EXPECT_EQ(read->taskId, c.taskId) << c.name;
    }
}

}  // namespace
}  // namespace zov
