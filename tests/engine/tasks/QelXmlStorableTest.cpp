#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::ReadFile;
using test::TempProgramDir;

std::string FileRecord(const std::string& id, const std::string& name) {
    return "\n<ID>" + id + "</ID>\n<NAME>" + name +
           "</NAME>\n<DELBAD>1</DELBAD>\n<FLAG>1</FLAG>\n<DIFF>0</DIFF>\n<SOURCE>/src</SOURCE>\n<DEST>/dst/" +
           name + "</DEST>\n";
}

TaskInfo FileTask() {
    TaskInfo task;
    task.flags = kTaskFile | kTaskCompress | kTaskScheduled;
    task.name = "nightly";
    task.source = "/data/nightly";
    task.dest = "/backup/nightly";
    task.times = "08:00";
    task.keepDays = 0;
    return task;
}

TaskInfo MySqlTask() {
    TaskInfo task;
    task.flags = kTaskCompress;
    task.sqlType = kMySql;
    task.name = "db";
    task.serviceName = "mariadb";
    task.database = "shop|blog";
    task.dest = "/backup/db";
    task.keepDays = 0;
    return task;
}

TaskInfo SqlServerTask() {
    TaskInfo task = MySqlTask();
    task.sqlType = kSqlServer;
    task.instance = "SQL1";
    return task;
}

// before + a NUL byte + after.
std::string Nul(const std::string& before, const std::string& after) { return before + '\0' + after; }

class QelXmlStorableTest : public ::testing::Test {
  protected:
    void SetUp() override { IniFile(ConfigIniPath()).Write("Dir", "LOG", LogFolderDefault()); }

    void LoadRecords(const std::vector<std::string>& records) {
        std::string text = "<SETUP>\n<TASK>|||||";
        for (const std::string& record : records) text += record + "|||||";
        text += "\n</TASK>\n</SETUP>";
        ASSERT_EQ(CAES().EncryptTextToFile(text, kTaskStoreKey, db_), 1);
        store_.SetFilePath(db_);
        ASSERT_TRUE(store_.Load());
    }

    std::string LastLogResult() {
        const std::string log = ReadFile(dir_ / "Log/UI/UI.log");
        const std::size_t lineEnd = log.rfind('\n');
        const std::size_t lineStart = log.rfind('\n', lineEnd - 1) + 1;
        const std::string line = log.substr(lineStart, lineEnd - lineStart);
        std::size_t at = 0;
        for (int column = 0; column < 8; ++column) at = line.find('\t', at) + 1;
        return line.substr(at, line.find('\t', at) - at);
    }

    TempProgramDir dir_;
    std::string db_ = dir_ / "task.db";
    test::InstalledClock clock_{MakeLocalTime(2024, 3, 5, 10, 30, 15)};
    CQelXML store_;
};

// A value the reader could not give back (it would end the record, open or close a tag, or be refused
// when read) is never written: the change is refused and the stored records stay as they were.
TEST_F(QelXmlStorableTest, ValuesTheReaderCannotReadBackAreRefused) {
    struct Case {
        const char* what;
        TaskInfo (*base)();
        std::function<void(TaskInfo&)> change;
    };
    const Case cases[] = {
        {"password with the record marker", FileTask, [](TaskInfo& t) { t.password = "a|||||b"; }},
        {"password closing its tag", FileTask, [](TaskInfo& t) { t.password = "x</PWORD>y"; }},
        {"name with a bar", FileTask, [](TaskInfo& t) { t.name = "a|b"; }},
        {"name with a tag", FileTask, [](TaskInfo& t) { t.name = "<b>"; }},
        {"source with '>'", FileTask, [](TaskInfo& t) { t.source = "/data/a>b"; }},
        {"storage folder with a bar", FileTask, [](TaskInfo& t) { t.dest = "/backup/a|b"; }},
        {"times with a tag", FileTask, [](TaskInfo& t) { t.times = "08:00</TIME>"; }},
        {"filter items forming the marker", FileTask,
         [](TaskInfo& t) {
             t.flags |= kTaskFilter;
             t.filter.extensions = {"*.a||", "||b"};
         }},
        {"database names forming the marker", MySqlTask, [](TaskInfo& t) { t.database = "a|||||b"; }},
        {"root password with a tag", MySqlTask, [](TaskInfo& t) { t.rootPassword = "<ROOTPWD>"; }},
        // A NUL byte would end the store text when it is read, losing every later record.
        {"name with a NUL", FileTask, [](TaskInfo& t) { t.name = Nul("a", "b"); }},
        {"source with a NUL", FileTask, [](TaskInfo& t) { t.source = Nul("/data/a", "b"); }},
        {"storage folder with a NUL", FileTask, [](TaskInfo& t) { t.dest = Nul("/backup/", "x"); }},
        {"password with a NUL", FileTask, [](TaskInfo& t) { t.password = Nul("pass", "word"); }},
        {"times with a NUL", FileTask, [](TaskInfo& t) { t.times = Nul("08:00", ""); }},
        {"filter item with a NUL", FileTask,
         [](TaskInfo& t) {
             t.flags |= kTaskFilter;
             t.filter.extensions = {Nul("*.a", "b")};
         }},
        {"database names with a NUL", MySqlTask, [](TaskInfo& t) { t.database = Nul("shop", "|blog"); }},
        {"service name with a NUL", MySqlTask, [](TaskInfo& t) { t.serviceName = Nul("maria", "db"); }},
        {"instance with a NUL", SqlServerTask, [](TaskInfo& t) { t.instance = Nul("SQL", "1"); }},
        {"root password with a NUL", MySqlTask, [](TaskInfo& t) { t.rootPassword = Nul("", "root"); }},
    };
    const std::vector<std::string> stored{FileRecord("1", "a")};
    for (const Case& c : cases) {
        LoadRecords(stored);
        const std::string before = ReadFile(db_);
        TaskInfo added = c.base();
        c.change(added);
        EXPECT_FALSE(store_.ChangeTask(kChangeAdd, added, true, false)) << c.what;
        EXPECT_EQ(LastLogResult(), "失败") << c.what;
        TaskInfo modified = c.base();
        c.change(modified);
        modified.id = 1;
        EXPECT_FALSE(store_.ChangeTask(kChangeModify, modified, true, false)) << c.what;
        EXPECT_EQ(store_.GetRecords(), stored) << c.what;
        EXPECT_EQ(ReadFile(db_), before) << c.what;
    }
}

// A task whose password holds a NUL byte is refused, so the tasks stored after it still load.
TEST_F(QelXmlStorableTest, ANulByteNeverHidesTheTasksAfterIt) {
    LoadRecords({FileRecord("1", "a"), FileRecord("2", "b"), FileRecord("3", "c")});
    TaskInfo task;
    ASSERT_TRUE(store_.GetTaskById(2, task));
    task.password = Nul("x", "y");
    EXPECT_FALSE(store_.ChangeTask(kChangeModify, task, true, false));
    TaskInfo added = FileTask();
    added.name = Nul("new", "");
    EXPECT_FALSE(store_.ChangeTask(kChangeAdd, added, true, false));
    TaskInfo later = FileTask();
    ASSERT_TRUE(store_.ChangeTask(kChangeAdd, later, true, false));

    CQelXML reader;
    reader.SetFilePath(db_);
    ASSERT_TRUE(reader.Load());
    std::vector<TaskInfo> tasks;
    reader.GetAllTasks(tasks);
    ASSERT_EQ(tasks.size(), 4u);
    EXPECT_EQ(tasks[2].name, "c");
    EXPECT_EQ(tasks[3].name, "nightly");
}

TEST_F(QelXmlStorableTest, OrdinaryPunctuationRoundTrips) {
    LoadRecords({});
    TaskInfo task = FileTask();
    task.name = "每日 backup (1) & \"copy\"";
    task.password = "p|a?s's&w\"o|rd";
    ASSERT_TRUE(store_.ChangeTask(kChangeAdd, task, true, false));
    CQelXML reader;
    reader.SetFilePath(db_);
    ASSERT_TRUE(reader.Load());
    TaskInfo read;
    ASSERT_TRUE(reader.GetTaskById(task.id, read));
    EXPECT_EQ(read.name, task.name);
    EXPECT_EQ(read.password, task.password);
}

// No id is left above the highest one an int can hold: adding refuses instead of reusing an id.
TEST_F(QelXmlStorableTest, AddingAboveTheHighestPossibleIdIsRefused) {
    for (const char* highest : {"2147483647", "99999999999"}) {
        const std::vector<std::string> stored{FileRecord(highest, "top")};
        LoadRecords(stored);
        TaskInfo task = FileTask();
        EXPECT_FALSE(store_.ChangeTask(kChangeAdd, task, true, false)) << highest;
        EXPECT_EQ(store_.GetRecords(), stored) << highest;
        EXPECT_EQ(LastLogResult(), "失败") << highest;
    }
}

}  // namespace
}  // namespace zov
