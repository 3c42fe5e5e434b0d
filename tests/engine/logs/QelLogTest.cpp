#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "engine/logs/QelLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "platform/Mailslot.h"
#include "support/ChinaTimeClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using Columns = std::vector<std::string>;
constexpr std::chrono::milliseconds kWait{2000};
constexpr std::chrono::milliseconds kQuiet{200};

class QelLogTest : public ::testing::Test {
  protected:
    QelLogTest() { IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/"); }

    CQelLog Record(int category, bool daily = true) {
        CQelLog record;
        record.SetCategory(category, daily);
        record.Start();
        record.SetTaskId(7);
        record.SetTaskName("每日备份");
        record.SetType(9);
        record.SetItem("/srv/data");
        record.SetTarget("/backup/每日备份_20240310091530.rar");
        record.SetResult(kLogSucceeded);
        record.SetMessage("压缩完成");
        return record;
    }

  public:
    // The notice number of one UpdateLog message "<cmd>N</cmd>\0".
    static int Notice(const std::optional<std::string>& message) {
        if (!message || message->size() < 12 || message->back() != '\0') return -1;
        const std::string text = message->substr(0, message->size() - 1);
        if (!text.starts_with("<cmd>") || !text.ends_with("</cmd>")) return -1;
        return std::stoi(text.substr(5, text.size() - 11));
    }

  protected:
    test::TempProgramDir program_;
    test::ChinaTimeClock time_{2024, 3, 10, 9, 15, 30};
};

TEST_F(QelLogTest, OneLinePerCategoryWithElapsedTime) {
    struct Case {
        int category;
        bool daily;
        std::string file, column1;
    };
    const Case cases[] = {
        {kLogFiles, true, "Log/Files/2024-03-10.log", "文件日志"},
        {kLogSqlServer, true, "Log/SQL Server/2024-03-10.log", "MSSQL日志"},
        {kLogMySql, true, "Log/MySQL/2024-03-10.log", "MYSQL日志"},
        {kLogInterface, true, "Log/UI/UI.log", "界面操作"},
        {kLogFiles, false, "Log/2024-03-10.log", "文件日志"},
    };
    for (const Case& c : cases) {
        time_.clock().Set(MakeLocalTime(2024, 3, 10, 9, 15, 30));
        CQelLog record = Record(c.category, c.daily);
        EXPECT_EQ(record.GetLogPath(), program_ / c.file);
        time_.clock().Set(MakeLocalTime(2024, 3, 10, 10, 17, 35));
        ASSERT_TRUE(record.Write()) << c.file;
        EXPECT_EQ(
            test::ReadFile(program_ / c.file),
            c.column1 +
                "\t2024-03-10 09:15:30\t7\t每日备份\t备份\t/srv/data\t/backup/每日备份_20240310091530.rar\t"
                "1时2分5秒\t成功\t压缩完成\n")
            << c.file;
        EXPECT_EQ(record.GetElapsed(), 3725);
    }
}

TEST_F(QelLogTest, ColumnsStayOnOneLineAndUnsetTypeIsMarked) {
    CQelLog record = Record(kLogFiles);
    CQelLog unset;
    unset.SetCategory(kLogFiles);
    unset.Start();
    unset.SetType(0);
    unset.SetType(14);
    record.SetTaskName("a\tb");
    record.SetMessage("line one\r\nline two\n");
    ASSERT_TRUE(record.Write());
    ASSERT_TRUE(unset.Write());
    EXPECT_EQ(
        test::ReadFile(program_ / "Log/Files/2024-03-10.log"),
        "文件日志\t2024-03-10 09:15:30\t7\ta b\t备份\t/srv/data\t/backup/每日备份_20240310091530.rar\t0秒\t"
        "成功\tline one  line two \n"
        "文件日志\t2024-03-10 09:15:30\t0\t\t---\t\t\t0秒\t\t\n");
}

TEST_F(QelLogTest, NoticesAlternateTheirMarker) {
    MailslotReader reader(program_.path(), "UpdateLog");
    ASSERT_TRUE(reader.bound());
    ASSERT_TRUE(Record(kLogSqlServer).Write());
    ASSERT_TRUE(Record(kLogSqlServer).Write());
    ASSERT_TRUE(Record(kLogInterface).Write());
    const int first = Notice(reader.Receive(kWait));
    const int second = Notice(reader.Receive(kWait));
    const int third = Notice(reader.Receive(kWait));
    EXPECT_EQ(first & 0xFF, kLogSqlServer);
    EXPECT_EQ(second & 0xFF, kLogSqlServer);
    EXPECT_EQ(third & 0xFF, kLogInterface);
    EXPECT_TRUE((first & ~0xFF) == 3584 || (first & ~0xFF) == 3840) << first;
    EXPECT_EQ((first & ~0xFF) + (second & ~0xFF), 3584 + 3840);
    EXPECT_EQ(third & ~0xFF, first & ~0xFF);
}

// The marker starts at 3584 in every process: checked in a fresh process (re-executed test program).
TEST(QelLogFreshProcess, FirstNoticeCarries3584) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            test::TempProgramDir program;
            MailslotReader reader(program.path(), "UpdateLog");
            CQelLog record;
            record.SetCategory(kLogFiles);
            record.Start();
            const bool written = record.Write() && record.Write();
            const int first = QelLogTest::Notice(reader.Receive(kWait));
            const int second = QelLogTest::Notice(reader.Receive(kWait));
            std::fprintf(stderr, "notices %d %d\n", first, second);
            std::exit(written && first == 3584 + kLogFiles && second == 3840 + kLogFiles ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "notices 3684 3940");
}

TEST_F(QelLogTest, InvalidRecordsWriteAndSendNothing) {
    MailslotReader reader(program_.path(), "UpdateLog");
    CQelLog otherCategory = Record(99);
    CQelLog notStarted = Record(kLogFiles);
    notStarted.SetStartTime(0);
    CQelLog noCategory;
    noCategory.Start();
    EXPECT_FALSE(otherCategory.Write());
    EXPECT_FALSE(notStarted.Write());
    EXPECT_FALSE(noCategory.Write());
    EXPECT_EQ(otherCategory.GetLogPath(), program_ / "Log/");
    EXPECT_FALSE(reader.Receive(kQuiet).has_value());
    EXPECT_FALSE(std::filesystem::exists(program_ / "Log"));
}

TEST_F(QelLogTest, UnwritableFileWritesNothing) {
    test::WriteFile(program_ / "Log/Files", "a file where the folder should be");
    MailslotReader reader(program_.path(), "UpdateLog");
    EXPECT_FALSE(Record(kLogFiles).Write());
    EXPECT_FALSE(reader.Receive(kQuiet).has_value());
}

// Without a configured folder the logs go to the program folder's "Log/", where the views look for them.
TEST_F(QelLogTest, LogFolderFollowsLogDirOrFallsBackToLog) {
    struct Case {
        const char* name;
        std::optional<std::string> dir;
        std::string file;
    };
    const Case cases[] = {
        {"missing", std::nullopt, "Log/MySQL/2024-03-10.log"},
        {"empty", "", "Log/MySQL/2024-03-10.log"},
        {"set", program_ / "Elsewhere", "Elsewhere/MySQL/2024-03-10.log"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(ConfigIniPath());
        if (c.dir) test::WriteFile(ConfigIniPath(), "[LOG]\nDir=" + *c.dir + "\n");
        CQelLog record = Record(kLogMySql);
        EXPECT_EQ(record.GetLogPath(), program_ / c.file) << c.name;
        ASSERT_TRUE(record.Write()) << c.name;
        Columns columns;
        EXPECT_TRUE(CQelLog::FindLogLine(kLogMySql, "2024-03-10 09:15:30", "", columns)) << c.name;
        EXPECT_EQ(columns.size(), 9u) << c.name;
        std::filesystem::remove(program_ / c.file);
    }
    EXPECT_FALSE(std::filesystem::exists(program_ / "MySQL")) << "never beside the program";
}

TEST_F(QelLogTest, ConcurrentWritersNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLines = 200;
    const std::string longText(3000, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                CQelLog record = Record(kLogFiles);
                record.SetTaskId(t);
                record.SetMessage(longText);
                record.Write();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    const std::string text = test::ReadFile(program_ / "Log/Files/2024-03-10.log");
    std::vector<std::string> lines;
    SplitToList(lines, text, '\n', true, 1);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    for (const std::string& line : lines) {
        Columns columns;
        SplitToList(columns, line, '\t', true, 0);
        ASSERT_EQ(columns.size(), 10u);
        ASSERT_EQ(columns[9], longText);
    }
}

TEST_F(QelLogTest, FindLogLine) {
    CQelLog early = Record(kLogFiles);
    early.SetMessage("下一次 2024-03-10 10:00:00");
    ASSERT_TRUE(early.Write());
    time_.clock().Set(MakeLocalTime(2024, 3, 10, 10, 0, 0));
    CQelLog later = Record(kLogFiles);
    later.SetTaskId(8);
    later.SetMessage("");
    ASSERT_TRUE(later.Write());
    CQelLog ui = Record(kLogInterface);
    ui.SetTaskId(9);
    ASSERT_TRUE(ui.Write());

    const Columns expected{"2024-03-10 10:00:00",
                           "8",
                           "每日备份",
                           "备份",
                           "/srv/data",
                           "/backup/每日备份_20240310091530.rar",
                           "0秒",
                           "成功",
                           ""};
    Columns columns;
    EXPECT_TRUE(CQelLog::FindLogLine(kLogFiles, "2024-03-10 10:00:00", "", columns));
    EXPECT_EQ(columns, expected);
    columns.clear();
    EXPECT_TRUE(CQelLog::FindLogLine(kLogFiles, "2024-03-10 10:00:00", program_ / "Log/Files", columns));
    EXPECT_EQ(columns, expected);
    EXPECT_TRUE(CQelLog::FindLogLine(kLogInterface, "2024-03-10 10:00:00", "", columns));
    EXPECT_EQ(columns[1], "9");

    struct Miss {
        int category;
        std::string time, folder;
    };
    const Miss misses[] = {
        {kLogFiles, "2024-03-10 10:00", ""},    {kLogFiles, "2024-03-10 11:00:00", ""},
        {kLogFiles, "2024-03-11 10:00:00", ""}, {kLogSqlServer, "2024-03-10 10:00:00", ""},
        {99, "2024-03-10 10:00:00", ""},        {kLogFiles, "2024-3-10  10:00:00", ""},
    };
    for (const Miss& m : misses)
        EXPECT_FALSE(CQelLog::FindLogLine(m.category, m.time, m.folder, columns)) << m.time;
    IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Elsewhere");
    EXPECT_FALSE(CQelLog::FindLogLine(kLogFiles, "2024-03-10 10:00:00", "", columns));
}

}  // namespace
}  // namespace zov
