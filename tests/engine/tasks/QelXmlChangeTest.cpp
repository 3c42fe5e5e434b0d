#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::ReadFile;
using test::TempProgramDir;

std::string StoreText(const std::vector<std::string>& records) {
    std::string text = "<SETUP>\n<TASK>|||||";
    for (const std::string& record : records) text += record + "|||||";
    return text + "\n</TASK>\n</SETUP>";
}

std::string ReadStore(const std::string& path) {
    std::vector<char> buffer(kTaskStoreMaxFileSize + 1, '\0');
    EXPECT_EQ(CAES().DecryptFileToBuffer(path, kTaskStoreKey, buffer.data(), kTaskStoreMaxFileSize), 1);
    return buffer.data();
}

std::string FileRecord(int id, const std::string& name) {
    return "\n<ID>" + std::to_string(id) + "</ID>\n<NAME>" + name +
           "</NAME>\n<DELBAD>1</DELBAD>\n<FLAG>1</FLAG>\n<DIFF>0</DIFF>\n<SOURCE>/src</SOURCE>\n<DEST>/dst/" +
           name + "</DEST>\n";
}

TaskInfo FileTask(const std::string& name) {
    TaskInfo task;
    task.flags = kTaskFile | kTaskScheduled;
    task.name = name;
    task.source = "/data/" + name;
    task.dest = "/backup/" + name;
    task.times = "08:00";
    task.keepDays = 0;  // not stored without kTaskKeepDays
    return task;
}

class QelXmlChangeTest : public ::testing::Test {
  protected:
    void SetUp() override { IniFile(ConfigIniPath()).Write("Dir", "LOG", LogFolderDefault()); }

    void LoadText(const std::string& text) {
        ASSERT_EQ(CAES().EncryptTextToFile(text, kTaskStoreKey, db_), 1);
        store_.SetFilePath(db_);
        ASSERT_TRUE(store_.Load());
    }

    // Lines of the interface log, each split into its columns.
    std::vector<std::vector<std::string>> LogLines() {
        std::vector<std::vector<std::string>> lines;
        std::istringstream in(ReadFile(dir_ / "Log/UI/UI.log"));
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> columns;
            SplitToList(columns, line, '\t', true, 0);
            lines.push_back(columns);
        }
        return lines;
    }

    std::string Temp(const std::string& key, const std::string& section) {
        return IniFile(TempIniPath()).Read(key, section);
    }

    TempProgramDir dir_;
    std::string db_ = dir_ / "task.db";
    test::InstalledClock clock_{MakeLocalTime(2024, 3, 5, 10, 30, 15)};
    CQelXML store_;
};

TEST_F(QelXmlChangeTest, AddModifyDeleteWriteTheFileAndTheLog) {
    store_.SetFilePath(db_);
    ASSERT_TRUE(store_.Load());

    TaskInfo first = FileTask("first");
    ASSERT_TRUE(store_.ChangeTask(kChangeAdd, first, true, false));
    EXPECT_EQ(first.id, 1);
    TaskInfo copy = first;
    const std::string firstRecord = store_.FormatTask(copy, false);
    EXPECT_EQ(ReadStore(db_),
              "<SETUP>\n<TASK>|||||\n<ID>1</ID>\n" + firstRecord + "|||||\n</TASK>\n</SETUP>");

    TaskInfo second = FileTask("second");
    second.id = 10;
    ASSERT_TRUE(store_.ChangeTask(kChangeAdd, second, true, false));
    EXPECT_EQ(second.id, 10);

    second.dest = "/elsewhere";
    ASSERT_TRUE(store_.ChangeTask(kChangeModify, second, true, false));
    ASSERT_TRUE(store_.ChangeTask(kChangeDelete, first, true, false));

    CQelXML reader;
    reader.SetFilePath(db_);
    ASSERT_TRUE(reader.Load());
    std::vector<TaskInfo> tasks;
    reader.GetAllTasks(tasks);
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0], second);

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 4u);
    const std::vector<std::vector<std::string>> expected = {
        {"1", "first", "增加任务", "/data/first", "/backup/first", "成功"},
        {"10", "second", "增加任务", "/data/second", "/backup/second", "成功"},
        {"10", "second", "修改任务", "/data/second", "/elsewhere", "成功"},
        {"1", "first", "删除任务", "/data/first", "/backup/first", "成功"},
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].size(), 10u) << i;
        EXPECT_EQ(lines[i][0], "界面操作");
        EXPECT_EQ(lines[i][1], "2024-03-05 10:30:15");
        EXPECT_EQ((std::vector<std::string>{lines[i][2], lines[i][3], lines[i][4], lines[i][5], lines[i][6],
                                            lines[i][8]}),
                  expected[i]);
    }
}

TEST_F(QelXmlChangeTest, StoreTextIsRebuiltAroundTheRecords) {
    struct Case {
        std::string before;
        std::string after;  // with R for the added record
    };
    const Case cases[] = {
        {"", "<SETUP>\n<TASK>|||||R|||||\n</TASK>\n</SETUP>"},
        {"junk", "junk<SETUP>\n<TASK>|||||R|||||\n</TASK>\n</SETUP>"},
        {"<SETUP>\n</SETUP>", "<SETUP>\n<TASK>|||||R|||||\n</TASK>\n\n</SETUP>"},
        {"<SETUP>\n<TASK>\n</TASK>\n</SETUP>", "<SETUP>\n<TASK>|||||R|||||\n</TASK>\n</SETUP>"},
        {"<SETUP>\n<TASK>|||||\n</TASK>\n<X>1</X></SETUP>",
         "<SETUP>\n<TASK>|||||R|||||\n</TASK>\n<X>1</X></SETUP>"},
    };
    for (const Case& c : cases) {
        CQelXML store;
        ASSERT_EQ(CAES().EncryptTextToFile(c.before, kTaskStoreKey, db_), 1);
        store.SetFilePath(db_);
        ASSERT_TRUE(store.Load());
        TaskInfo task = FileTask("t");
        ASSERT_TRUE(store.ChangeTask(kChangeAdd, task, true, false));
        TaskInfo copy = task;
        std::string after = c.after;
        after.replace(after.find('R'), 1, "\n<ID>1</ID>\n" + store.FormatTask(copy, false));
        EXPECT_EQ(ReadStore(db_), after) << c.before;
    }
}

TEST_F(QelXmlChangeTest, ModifyKeepsTheHeadAndDeleteRemovesEveryCopy) {
    const std::string odd = "  <ID>5</ID>tail to drop";
    LoadText(StoreText({FileRecord(5, "a"), FileRecord(6, "b"), odd, FileRecord(5, "c")}));

    TaskInfo changed = FileTask("changed");
    changed.id = 5;
    ASSERT_TRUE(store_.ChangeTask(kChangeModify, changed, true, false));
    TaskInfo copy = changed;
    const std::string body = store_.FormatTask(copy, false);
    EXPECT_EQ(store_.GetRecords(), (std::vector<std::string>{"\n<ID>5</ID>" + body, FileRecord(6, "b"),
                                                             "  <ID>5</ID>" + body, "\n<ID>5</ID>" + body}));
    EXPECT_EQ(body.rfind("<NAME>changed</NAME>\n", 0), 0u);

    TaskInfo gone;
    gone.id = 5;
    ASSERT_TRUE(store_.ChangeTask(kChangeDelete, gone, true, false));
    EXPECT_EQ(store_.GetRecords(), (std::vector<std::string>{FileRecord(6, "b")}));
    CQelXML reader;
    reader.SetFilePath(db_);
    ASSERT_TRUE(reader.Load());
    EXPECT_EQ(reader.GetRecords(), store_.GetRecords());
}

TEST_F(QelXmlChangeTest, IncompleteTaskChangesNothingAndIsLoggedAsFailed) {
    LoadText(StoreText({FileRecord(1, "a")}));
    const std::string before = ReadFile(db_);
    struct Case {
        int type;
        int id;
    };
    for (const Case c : {Case{kChangeAdd, 0}, Case{kChangeModify, 1}}) {
        TaskInfo task = FileTask("x");
        task.id = c.id;
        task.source.clear();
        EXPECT_FALSE(store_.ChangeTask(c.type, task, true, false));
        EXPECT_EQ(store_.GetRecords(), (std::vector<std::string>{FileRecord(1, "a")}));
        EXPECT_EQ(ReadFile(db_), before);
    }
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0][4], "增加任务");
    EXPECT_EQ(lines[1][4], "修改任务");
    EXPECT_EQ(lines[0][5], "---");
    EXPECT_EQ(lines[0][8], "失败");
    EXPECT_EQ(lines[1][8], "失败");
}

TEST_F(QelXmlChangeTest, UnloadedStoreRefusesWithoutLog) {
    TaskInfo task = FileTask("x");
    EXPECT_FALSE(store_.ChangeTask(kChangeAdd, task, true, false));
    store_.SetFilePath(db_);
    EXPECT_FALSE(store_.ChangeTask(kChangeAdd, task, true, false));
    EXPECT_EQ(ReadFile(db_), "");
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(QelXmlChangeTest, FailedSaveIsLoggedAndKeptInMemory) {
    LoadText(StoreText({FileRecord(1, "a")}));
    TaskInfo task = FileTask("b");
    ASSERT_TRUE(store_.ChangeTask(kChangeAdd, task, false, false));  // no save asked
    EXPECT_EQ(ReadStore(db_), StoreText({FileRecord(1, "a")}));

    store_.SetFilePath(dir_ / "missing/task.db");
    TaskInfo third = FileTask("c");
    EXPECT_FALSE(store_.ChangeTask(kChangeAdd, third, true, false));
    EXPECT_EQ(store_.GetRecords().size(), 3u);

    // A text too large to be read again is not written.
    store_.SetFilePath(db_);
    TaskInfo huge = FileTask("huge");
    huge.source = "/" + std::string(kTaskStoreMaxFileSize / 8, 'x');
    EXPECT_FALSE(store_.ChangeTask(kChangeAdd, huge, true, false));
    EXPECT_EQ(ReadStore(db_), StoreText({FileRecord(1, "a")}));

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0][8], "成功");
    EXPECT_EQ(lines[1][8], "失败");
    EXPECT_EQ(lines[2][8], "失败");
}

TEST_F(QelXmlChangeTest, RunStateOfNewAndChangedTasks) {
    const IniFile temp(TempIniPath());
    for (const char* section : {"SUCCEED", "RUNNING", "FAILED"}) {
        temp.Write("TIME_1", section, "07:00");
        temp.Write("TIME_2", section, "07:00");
    }
    LoadText(StoreText({}));

    // 10:30:15 now: earlier times are noted as done today, the current minute and later ones are not.
    TaskInfo task = FileTask("a");
    task.times = "09:00,12:00，10:30 10:29 9:00";
    ASSERT_TRUE(store_.ChangeTask(kChangeAdd, task, true, true));
    ASSERT_EQ(task.id, 1);
    EXPECT_EQ(Temp("TIME_1", "SUCCEED"), "09:00 10:29");
    EXPECT_EQ(Temp("TIME_1", "RUNNING"), "");
    EXPECT_EQ(Temp("TIME_1", "FAILED"), "");
    EXPECT_EQ(Temp("TIME_2", "RUNNING"), "07:00");

    task.times = "08:00";
    ASSERT_TRUE(store_.ChangeTask(kChangeModify, task, true, true));
    EXPECT_EQ(Temp("TIME_1", "SUCCEED"), "09:00 10:29 08:00");
    task.times = "06:00";
    ASSERT_TRUE(store_.ChangeTask(kChangeModify, task, true, false));
    EXPECT_EQ(Temp("TIME_1", "SUCCEED"), "09:00 10:29 08:00");
}

TEST_F(QelXmlChangeTest, EnableAndDisableSchedule) {
    LoadText(StoreText({FileRecord(3, "a")}));
    TaskInfo task;
    ASSERT_TRUE(store_.EnableSchedule(3));
    ASSERT_TRUE(store_.GetTaskById(3, task));
    EXPECT_EQ(task.flags, kTaskFile | kTaskScheduled);
    EXPECT_EQ(task.times, "01:00");

    ASSERT_TRUE(store_.DisableSchedule(3));
    CQelXML reader;
    reader.SetFilePath(db_);
    ASSERT_TRUE(reader.Load());
    ASSERT_TRUE(reader.GetTaskById(3, task));
    EXPECT_EQ(task.flags, kTaskFile);
    EXPECT_FALSE(store_.EnableSchedule(4));
}

TEST_F(QelXmlChangeTest, SwitchingScheduledRunsOffAndOnKeepsTheSchedule) {
    LoadText(StoreText({}));
    TaskInfo task;
    task.source = dir_.path();
    task.dest = dir_ / "out/";
    task.flags = kTaskFile | kTaskScheduled;
    task.period = kWeekly;
    task.days.set(2);
    task.times = "07:15 19:45";
    ASSERT_TRUE(store_.ChangeTask(2, task, true, false));

    ASSERT_TRUE(store_.DisableSchedule(task.id));
    ASSERT_TRUE(store_.EnableSchedule(task.id));
    CQelXML reader;
    reader.SetFilePath(db_);
    ASSERT_TRUE(reader.Load());
    TaskInfo read;
    ASSERT_TRUE(reader.GetTaskById(task.id, read));
    EXPECT_EQ(read.flags, kTaskFile | kTaskScheduled);
    EXPECT_EQ(read.period, kWeekly);
    EXPECT_EQ(read.days, task.days);
    EXPECT_EQ(read.times, "07:15 19:45");
}

TEST_F(QelXmlChangeTest, ListsHoldOnlyThisCallsTasks) {
    clock_.Set(MakeLocalTime(2024, 3, 5, 8, 0, 30));
    std::string due = FileRecord(1, "a") + "<TIME>08:00</TIME>";
    due.replace(due.find("<FLAG>1<"), 8, "<FLAG>5<");
    const std::string broken = "\n<ID>2</ID>\n<TIME>08:00</TIME>";
    LoadText(StoreText({due, broken, FileRecord(3, "c")}));

    std::vector<TaskInfo> all(5);
    store_.GetAllTasks(all);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, 1);
    EXPECT_EQ(all[1].id, 3);
    store_.GetAllTasks(all);
    EXPECT_EQ(all.size(), 2u);

    std::vector<TaskInfo> dueNow(3);
    store_.GetDueTasks(dueNow);
    ASSERT_EQ(dueNow.size(), 1u);
    EXPECT_EQ(dueNow[0].id, 1);
    store_.GetDueTasks(dueNow);
    EXPECT_EQ(dueNow.size(), 1u);
}

TEST_F(QelXmlChangeTest, AddDueTask) {
    // The minute given decides, not the clock.
    clock_.Set(MakeLocalTime(2024, 3, 5, 9, 30, 0));
    const std::time_t when = MakeLocalTime(2024, 3, 5, 8, 0, 59);
    const std::string head = "\n<ID>1</ID>\n<NAME>a</NAME>\n";
    const std::string body = "\n<SOURCE>/s</SOURCE>\n<DFLAG>1</DFLAG>\n";
    const std::string scheduled = head + "<FLAG>5</FLAG>" + body;
    struct Case {
        std::string name;
        std::string record;
        bool due;
        std::vector<std::string> times;  // of the appended tasks
    };
    const Case cases[] = {
        {"empty", "", false, {}},
        {"same time twice", scheduled + "<TIME>08:00 08:00</TIME>", true, {"08:00", "08:00"}},
        {"one of several", scheduled + "<TIME>07:00,08:00，09:00</TIME>", true, {"08:00"}},
        {"not now", scheduled + "<TIME>07:00 8:00 08:01</TIME>", false, {}},
        {"due but unreadable", "<ID>1</ID><FLAG>5</FLAG><TIME>08:00</TIME>", true, {}},
        {"period without time", scheduled + "<PERIOD>x</PERIOD>", true, {""}},
        {"neither", scheduled, false, {}},
        {"scheduled runs off", head + "<FLAG>1</FLAG>" + body + "<TIME>08:00</TIME>", false, {}},
        {"scheduled runs off, period", head + "<FLAG>3</FLAG>" + body + "<PERIOD>1</PERIOD>", false, {}},
        {"no flag", head + body + "<TIME>08:00</TIME>", false, {}},
        {"flag not a number", head + "<FLAG>x</FLAG>" + body + "<TIME>08:00</TIME>", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<TaskInfo> list(1);
        EXPECT_EQ(CQelXML::AddDueTask(c.record, list, true, when), c.due);
        std::vector<std::string> times;
        for (const TaskInfo& task : list) times.push_back(task.times);
        EXPECT_EQ(times, c.times);
    }

    std::vector<TaskInfo> list(1);
    EXPECT_TRUE(CQelXML::AddDueTask(scheduled + "<TIME>08:00</TIME>", list, false, when));
    EXPECT_EQ(list.size(), 2u);
}

TEST_F(QelXmlChangeTest, ConcurrentChangesGetDistinctIds) {
    LoadText(StoreText({}));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 10; ++i) {
                TaskInfo task = FileTask("t" + std::to_string(t) + "_" + std::to_string(i));
                EXPECT_TRUE(store_.ChangeTask(kChangeAdd, task, false, false));
                std::vector<TaskInfo> all;
                store_.GetAllTasks(all);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<TaskInfo> all;
    store_.GetAllTasks(all);
    ASSERT_EQ(all.size(), 40u);
    std::set<int> ids;
    for (const TaskInfo& task : all) ids.insert(task.id);
    EXPECT_EQ(ids.size(), 40u);
    EXPECT_EQ(*ids.rbegin(), 40);
}

}  // namespace
}  // namespace zov
