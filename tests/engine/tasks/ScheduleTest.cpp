#include <gtest/gtest.h>

#include <ctime>

#include "engine/tasks/Schedule.h"
#include "support/ChinaTimeClock.h"

namespace zov {
namespace {

TEST(ScheduleTest, WeekdayIndexAgreesWithTheCalendarFrom1999To2031) {
    for (int year = 1999; year <= 2031; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 28; day += 3) {
                std::tm date{};
                date.tm_year = year - 1900;
                date.tm_mon = month - 1;
                date.tm_mday = day;
                date.tm_hour = 12;
                timegm(&date);
                ASSERT_EQ(WeekdayIndex(year, month, day), (date.tm_wday + 6) % 7)
                    << year << "-" << month << "-" << day;
            }
        }
    }
}

TEST(ScheduleTest, IsDueToday) {
    test::ChinaTimeClock zone(2024, 1, 1);
    struct Case {
        const char* what;
        int flags;
        std::string dest;
        int period;
        std::vector<int> dayBits;
        int year, month, day;
        bool due;
    };
    const Case cases[] = {
        {"daily", 0x07, "/bak", kDaily, {}, 2024, 3, 5, true},
        {"scheduled runs off", 0x03, "/bak", kDaily, {}, 2024, 3, 5, false},
        {"relative storage folder", 0x07, "backup", kDaily, {}, 2024, 3, 5, false},
        {"empty storage folder", 0x07, "", kDaily, {}, 2024, 3, 5, false},
        {"storage folder with '?'", 0x07, "/bak/a?", kDaily, {}, 2024, 3, 5, false},
        {"storage folder with '|'", 0x07, "/bak/a|b", kDaily, {}, 2024, 3, 5, false},
        {"storage folder with '<'", 0x07, "/bak/<a", kDaily, {}, 2024, 3, 5, false},
        {"weekly Monday on a Monday", 0x07, "/bak", kWeekly, {0}, 2024, 3, 4, true},
        {"weekly Monday on a Tuesday", 0x07, "/bak", kWeekly, {0}, 2024, 3, 5, false},
        {"weekly Monday on a Sunday", 0x07, "/bak", kWeekly, {0}, 2024, 3, 3, false},
        {"weekly Sunday on a Sunday", 0x07, "/bak", kWeekly, {6}, 2024, 3, 31, true},
        {"weekly Monday on 1 January", 0x07, "/bak", kWeekly, {0}, 2024, 1, 1, true},
        {"weekly Thursday on 29 February", 0x07, "/bak", kWeekly, {3}, 2024, 2, 29, true},
        {"weekly without days", 0x07, "/bak", kWeekly, {}, 2024, 3, 4, false},
        {"monthly 31st on the 31st", 0x07, "/bak", kMonthly, {30}, 2024, 3, 31, true},
        {"monthly 31st on the 30th", 0x07, "/bak", kMonthly, {30}, 2024, 4, 30, false},
        {"monthly 1st on the 1st", 0x07, "/bak", kMonthly, {0}, 2024, 5, 1, true},
        {"monthly 1st on the 2nd", 0x07, "/bak", kMonthly, {0}, 2024, 5, 2, false},
        {"period 0", 0x07, "/bak", 0, {0, 1, 2, 3, 4, 5, 6}, 2024, 3, 4, false},
        {"period 4", 0x07, "/bak", 4, {0, 1, 2, 3, 4, 5, 6}, 2024, 3, 4, false},
        {"period -1", 0x07, "/bak", -1, {0, 1, 2, 3, 4, 5, 6}, 2024, 3, 4, false},
    };
    for (const Case& c : cases) {
        TaskInfo task;
        task.flags = c.flags;
        task.source = "/src";
        task.dest = c.dest;
        task.period = c.period;
        for (int bit : c.dayBits) task.days.set(bit);
        EXPECT_EQ(IsDueToday(task, MakeLocalTime(c.year, c.month, c.day, 23, 59, 59)), c.due) << c.what;
    }
}

TEST(ScheduleTest, OnlyTasksWithAbsoluteFoldersAreDue) {
    test::ChinaTimeClock zone(2024, 3, 5);
    struct Case {
        const char* what;
        int flags;
        std::string source, dest;
        std::string reason;  // empty when due
    };
    const Case cases[] = {
        {"file task", 0x05, "/src", "/bak", ""},
        {"relative source", 0x05, "src", "/bak", "源目录不是绝对路径：src"},
        {"source read as a switch", 0x05, "-r", "/bak", "源目录不是绝对路径：-r"},
        {"source from the working folder", 0x05, "./src", "/bak", "源目录不是绝对路径：./src"},
        {"empty source", 0x05, "", "/bak", "源目录不是绝对路径："},
        {"relative storage folder", 0x05, "/src", "-bak", "备份存储目录不合法：-bak"},
        {"database task without a source", 0x04, "", "/bak", ""},
        {"database task, relative storage folder", 0x04, "", "bak", "备份存储目录不合法：bak"},
    };
    for (const Case& c : cases) {
        TaskInfo task;
        task.flags = c.flags;
        task.source = c.source;
        task.dest = c.dest;
        EXPECT_EQ(UnusableFolderReason(task), c.reason) << c.what;
        EXPECT_EQ(IsDueToday(task, zov::Now()), c.reason.empty()) << c.what;
    }
}

TEST(ScheduleTest, IsClockTime) {
    for (const char* good : {"00:00", "09:05", "19:59", "23:59"}) EXPECT_TRUE(IsClockTime(good)) << good;
    for (const char* bad :
         {"", "24:00", "7:00", "07:60", "07:5", "0700", "07:00 ", "07:00\n", "a7:00", "07:000"}) {
        EXPECT_FALSE(IsClockTime(bad)) << bad;
    }
}

TEST(ScheduleTest, CheckTimeList) {
    struct Case {
        std::string typed, clean;
    };
    const Case cases[] = {
        {"08:00,12:30", "08:00,12:30"},
        {"8，12", "08:00,12:00"},
        {"8:5 9：30", "08:05,09:30"},
        {"08:00,08:00,8", "08:00"},
        {"24:00,23:59", "23:59"},
        {"7a,07:30,ab", "07:30"},
        {"0,1", "01:00"},
        {",,, ", ""},
        {"", ""},
        {"12:60,12:59:", "12:59"},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckTimeList(c.typed), c.clean) << c.typed;
}

// The typed items that name no time of day are told as typed; repeats and empty items are no fault.
TEST(ScheduleTest, BadTimeItems) {
    struct Case {
        std::string typed;
        std::vector<std::string> bad;
    };
    const Case cases[] = {
        {"08:00,8,8:5 9：30", {}},    {"25:99", {"25:99"}}, {"12:00,24:00，7:60", {"24:00", "7:60"}},
        {"0,7a,,08:00", {"0", "7a"}}, {",,, ", {}},         {"12:00:00", {"12:00:00"}},
    };
    for (const Case& c : cases) EXPECT_EQ(BadTimeItems(c.typed), c.bad) << c.typed;
    EXPECT_EQ(BadTimesText({"25:99", "7a"}), "备份时间“25:99”“7a”无效");
}

TEST(ScheduleTest, GetDateText) {
    test::ChinaTimeClock zone(2024, 3, 5, 14, 7, 9);
    const std::time_t when = MakeLocalTime(2024, 3, 5, 14, 7, 9);
    TaskInfo database;
    database.flags = 0x06;
    database.id = 3;
    EXPECT_EQ(GetDateText(database, when), "2024-03-05");
    database.id = 0;
    EXPECT_EQ(GetDateText(database, when), "");
    TaskInfo file;
    file.id = 3;
    EXPECT_EQ(GetDateText(file, when), "");
}

}  // namespace
}  // namespace zov
