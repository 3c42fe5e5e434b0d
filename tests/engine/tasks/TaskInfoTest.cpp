#include <gtest/gtest.h>

#include "engine/tasks/TaskInfo.h"

namespace zov {
namespace {

TEST(TaskInfoTest, DefaultRecord) {
    const TaskInfo task;
    EXPECT_EQ(task.id, 0);
    EXPECT_EQ(task.flags, 3);
    EXPECT_TRUE(task.delBad);
    EXPECT_FALSE(task.diff);
    EXPECT_EQ(task.basePeriod, kBasePeriodUnset);
    EXPECT_EQ(task.sqlType, 1);
    EXPECT_EQ(task.period, 1);
    EXPECT_EQ(task.keepDays, 30);
    EXPECT_EQ(task.partial, 0);
    EXPECT_TRUE(task.days.none());
    EXPECT_TRUE(task.times.empty());
    EXPECT_TRUE(task.filter.exclude);
    EXPECT_TRUE(task.filter.extensions.empty());
}

TEST(TaskInfoTest, ResetKeepsDatabaseSecretsBasePeriodAndFilter) {
    TaskInfo task;
    task.id = 9;
    task.flags = 0x0C;
    task.name = "n";
    task.source = "/src";
    task.dest = "/dst";
    task.times = "08:00";
    task.compress = true;
    task.diff = true;
    task.period = 3;
    task.days.set(4);
    task.delBad = false;
    task.keepDays = 7;
    task.instance = "SQL1";
    task.partial = 100;
    task.sqlType = 2;
    task.database = "a|b";
    task.serviceName = "mariadb";
    task.password = "pw";
    task.rootPassword = "root";
    task.basePeriod = 5;
    task.filter.Add("*.tmp");
    task.filter.exclude = false;

    TaskInfo expected;
    expected.database = task.database;
    expected.serviceName = task.serviceName;
    expected.password = task.password;
    expected.rootPassword = task.rootPassword;
    expected.basePeriod = task.basePeriod;
    expected.filter = task.filter;

    task.Reset();
    EXPECT_EQ(task, expected);
}

TEST(TaskInfoTest, DaysTextForm) {
    DaySet sunday;
    sunday.set(6);
    const std::string text = DaysToText(sunday);
    ASSERT_EQ(text.size(), 31u);
    EXPECT_EQ(text.find('1'), 24u);
    EXPECT_EQ(text.rfind('1'), 24u);

    struct Case {
        std::string text;
        bool ok;
        unsigned long bits;
    };
    const Case cases[] = {
        {"1", true, 0x1},
        {"10", true, 0x2},
        {"1000000", true, 0x40},
        {std::string(31, '1'), true, 0x7FFFFFFF},
        // A longer text contributes its first 31 characters; what follows is not looked at.
        {"1" + std::string(30, '0') + "1x", true, 0x40000000},
        {"", true, 0},
        {"0102", false, 0},
        {"1 1", false, 0},
    };
    for (const Case& c : cases) {
        DaySet days;
        days.set(3);
        const DaySet before = days;
        EXPECT_EQ(DaysFromText(c.text, days), c.ok) << c.text;
        EXPECT_EQ(days.to_ulong(), c.ok ? c.bits : before.to_ulong()) << c.text;
    }

    DaySet mixed;
    mixed.set(0).set(13).set(30);
    DaySet back;
    ASSERT_TRUE(DaysFromText(DaysToText(mixed), back));
    EXPECT_EQ(back, mixed);
}

TEST(FilterSetTest, NormalisesRejectsAndDropsDuplicates) {
    FilterSet filter;
    filter.Add("TXT");
    filter.Add("txt");
    filter.Add("a?b");
    filter.Add("<x>");
    filter.Add("Dir/Sub\\*.LOG");
    filter.Add("中文.Doc");
    EXPECT_EQ(filter.extensions, (std::vector<std::string>{"txt", "dir/sub\\*.log", "中文.doc"}));

    EXPECT_TRUE(filter.Contains("TxT", true));
    EXPECT_FALSE(filter.Contains("TxT", false));
    EXPECT_FALSE(filter.Contains("t?t", true));

    filter.Remove("DIR/SUB\\*.log");
    filter.Remove("a?b");
    EXPECT_EQ(filter.extensions, (std::vector<std::string>{"txt", "中文.doc"}));
    filter.Clear();
    EXPECT_TRUE(filter.extensions.empty());
}

TEST(FilterSetTest, NormalizeFilterItem) {
    struct Case {
        std::string in;
        bool ok;
        std::string out;
    };
    const Case cases[] = {
        {".TXT", true, ".txt"},        {"/Folder", true, "/folder"},
        {"a\\B", true, "a\\b"},        {"ÄB", true, "Äb"},
        {"a>b", false, "a>b"},         {"?", false, "?"},
        {"*.a|*.b", false, "*.a|*.b"}, {"", false, ""},
    };
    for (const Case& c : cases) {
        std::string item = c.in;
        EXPECT_EQ(NormalizeFilterItem(item), c.ok) << c.in;
        EXPECT_EQ(item, c.out) << c.in;
    }
}

}  // namespace
}  // namespace zov
