#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "platform/Paths.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::ReadFile;
using test::TempProgramDir;
using test::WriteFile;

std::string StoreText(const std::vector<std::string>& records) {
    std::string text = "<SETUP>\n<TASK>|||||";
    for (const std::string& record : records) text += record + "|||||";
    return text + "\n</TASK>\n</SETUP>";
}

void WriteStore(const std::string& path, const std::string& text) {
    ASSERT_EQ(CAES().EncryptTextToFile(text, kTaskStoreKey, path), 1);
}

std::string ReadStore(const std::string& path) {
    std::vector<char> buffer(kTaskStoreMaxFileSize + 1, '\0');
    EXPECT_EQ(CAES().DecryptFileToBuffer(path, kTaskStoreKey, buffer.data(), kTaskStoreMaxFileSize), 1);
    return buffer.data();
}

const std::string kSqlRecord =
    "\n<ID>5</ID>\n<NAME>sql</NAME>\n<DELBAD>1</DELBAD>\n<FLAG>4</FLAG>\n<SOURCE></SOURCE>\n<DEST>/bak</"
    "DEST>\n"
    "<DFLAG>2</DFLAG>\n<DAYS>1010</DAYS>\n<TIME>08:00</TIME>\n<SQLTYPE>1</SQLTYPE>\n<INSTANCE>SQL1</"
    "INSTANCE>\n"
    "<DATABASE>a|b</DATABASE>\n<ROOTPWD></ROOTPWD>\n";

std::string Without(std::string record, const std::string& part) {
    const std::size_t at = record.find(part);
    EXPECT_NE(at, std::string::npos) << part;
    if (at != std::string::npos) record.erase(at, part.size());
    return record;
}

std::string Replaced(std::string record, const std::string& from, const std::string& to) {
    const std::size_t at = record.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) record.replace(at, from.size(), to);
    return record;
}

class QelXmlFileTest : public ::testing::Test {
  protected:
    void LoadText(const std::string& text) {
        WriteStore(db_, text);
        store_.SetFilePath(db_);
        ASSERT_TRUE(store_.Load());
    }

    TempProgramDir dir_;
    std::string db_ = dir_ / "task.db";
    CQelXML store_;
};

TEST_F(QelXmlFileTest, RecordsBetweenMarkers) {
    struct Case {
        std::string text;
        std::vector<std::string> records;
    };
    const Case cases[] = {
        {"<SETUP>\n<TASK>|||||\n</TASK>\n</SETUP>", {}},
        {"<SETUP>\n<TASK>\n</TASK>\n</SETUP>", {}},
        {"<SETUP>\n<TASK></TASK>\n</SETUP>", {}},
        {"", {}},
        {"before|||||after", {}},
        {"<SETUP>\n<TASK>|||||one|||||\n</TASK>\n</SETUP>", {"one"}},
        {"<SETUP>\n<TASK>|||||one|||||||||||||||two|||||\n</TASK>\n</SETUP>", {"one", "two"}},
        {"<SETUP>\n<TASK>|||||one|||||two</TASK></SETUP>", {"one"}},
    };
    for (const Case& c : cases) {
        CQelXML store;
        WriteStore(db_, c.text);
        store.SetFilePath(db_);
        ASSERT_TRUE(store.Load()) << c.text;
        EXPECT_EQ(store.GetRecords(), c.records) << c.text;
    }
}

TEST_F(QelXmlFileTest, EmptyStoreGivesFirstIdOne) {
    LoadText("<SETUP>\n<TASK>|||||\n</TASK>\n</SETUP>");
    EXPECT_EQ(store_.GetMaxTaskId(), 0);
    TaskInfo task;
    task.source = "/src";
    EXPECT_NE(store_.FormatTask(task, true).find("\n<ID>1</ID>\n"), std::string::npos);
    EXPECT_EQ(task.id, 1);
}

TEST_F(QelXmlFileTest, MissingOrEmptyFileIsAnEmptyStore) {
    store_.SetFilePath(db_);
    ASSERT_TRUE(store_.Load());
    EXPECT_TRUE(store_.IsLoaded());
    EXPECT_EQ(store_.GetMaxTaskId(), 0);

    WriteFile(db_, "");
    CQelXML fromEmpty;
    fromEmpty.SetFilePath(db_);
    ASSERT_TRUE(fromEmpty.Load());
    EXPECT_TRUE(fromEmpty.GetRecords().empty());
}

TEST_F(QelXmlFileTest, UnloadedStore) {
    EXPECT_FALSE(store_.Load());  // no path
    EXPECT_FALSE(store_.IsLoaded());
    EXPECT_EQ(store_.GetMaxTaskId(), -1);
    EXPECT_FALSE(store_.Save());
    TaskInfo task;
    task.id = 4;
    task.source = "/src";
    store_.FormatTask(task, true);
    EXPECT_EQ(task.id, 4);
}

TEST_F(QelXmlFileTest, ParseTaskCases) {
    const std::string file =
        "\n<ID>7</ID>\n<NAME>docs</NAME>\n<DELBAD>1</DELBAD>\n<FLAG>1</FLAG>\n<DIFF>0</DIFF>\n"
        "<EXTENSIONS></EXTENSIONS>\n<SOURCE>/src</SOURCE>\n<DEST>/dst</DEST>\n";
    const std::string mysql =
        "\n<ID>8</ID>\n<NAME>my</NAME>\n<DELBAD>0</DELBAD>\n<FLAG>2</FLAG>\n<SOURCE></SOURCE>\n<DEST></"
        "DEST>\n"
        "<SQLTYPE>2</SQLTYPE>\n<SRVNAME>mariadb</SRVNAME>\n<DATABASE></DATABASE>\n<ROOTPWD>pw</ROOTPWD>\n";
    struct Case {
        std::string name;
        std::string record;
        bool ok;
        std::function<void(const TaskInfo&)> check;
    };
    const Case cases[] = {
        {"empty", "", false, nullptr},
        {"file task", file, true,
         [](const TaskInfo& t) {
             EXPECT_EQ(t.id, 7);
             EXPECT_EQ(t.name, "docs");
             EXPECT_EQ(t.source, "/src");
             EXPECT_EQ(t.dest, "/dst");
             EXPECT_TRUE(t.delBad);
             EXPECT_EQ(t.keepDays, 0);
         }},
        {"no id", Without(file, "<ID>7</ID>"), false, nullptr},
        {"no flag", Without(file, "<FLAG>1</FLAG>"), false, nullptr},
        {"no name", Without(file, "<NAME>docs</NAME>"), false, nullptr},
        {"name with bar", Replaced(file, "docs", "do|cs"), false, nullptr},
        {"name with angle", Replaced(file, "docs", "do<cs"), false, nullptr},
        {"no source", Replaced(file, "/src", ""), false, nullptr},
        {"source with angle", Replaced(file, "/src", "/s>rc"), false, nullptr},
        {"file task without dest is read", Replaced(file, "/dst", ""), true,
         [](const TaskInfo& t) { EXPECT_EQ(t.dest, ""); }},
        {"dest with bar", Replaced(file, "/dst", "/d|st"), false, nullptr},
        {"delbad other than 1", Replaced(file, "<DELBAD>1", "<DELBAD>yes"), true,
         [](const TaskInfo& t) { EXPECT_FALSE(t.delBad); }},
        {"diff with negative base period",
         Replaced(file, "<DIFF>0</DIFF>", "<DIFF>1</DIFF><BPERIOD>-5</BPERIOD>"), true,
         [](const TaskInfo& t) {
             EXPECT_TRUE(t.diff);
             EXPECT_EQ(t.basePeriod, 1);
         }},
        {"base period without diff is ignored", Replaced(file, "<DIFF>0</DIFF>", "<BPERIOD>9</BPERIOD>"),
         true,
         [](const TaskInfo& t) {
             EXPECT_FALSE(t.diff);
             EXPECT_EQ(t.basePeriod, kBasePeriodUnset);
         }},
        {"filter items",
         Replaced(Replaced(file, "<FLAG>1", "<FLAG>49"), "<EXTENSIONS>", "<EXTENSIONS>*.TMP||/Cache|a?b|"),
         true,
         [](const TaskInfo& t) {
             EXPECT_EQ(t.filter.extensions, (std::vector<std::string>{"*.tmp", "/cache"}));
             EXPECT_FALSE(t.filter.exclude);
         }},
        {"filter items unused without flag", Replaced(file, "<EXTENSIONS>", "<EXTENSIONS>*.tmp"), true,
         [](const TaskInfo& t) {
             EXPECT_TRUE(t.filter.extensions.empty());
             EXPECT_TRUE(t.filter.exclude);
         }},
        {"compressed file task",
         Replaced(file, "<FLAG>1</FLAG>",
                  "<FLAG>3</FLAG><COMPRESS>1</COMPRESS><PARTIAL>650</PARTIAL><PWORD>k</PWORD>"),
         true,
         [](const TaskInfo& t) {
             EXPECT_TRUE(t.compress);
             EXPECT_EQ(t.partial, 650);
             EXPECT_EQ(t.password, "k");
         }},
        {"sql server", kSqlRecord, true,
         [](const TaskInfo& t) {
             EXPECT_EQ(t.sqlType, kSqlServer);
             EXPECT_EQ(t.instance, "SQL1");
             EXPECT_EQ(t.database, "a|b");
             EXPECT_EQ(t.period, 2);
             EXPECT_EQ(t.days.to_ulong(), 0b1010u);
             EXPECT_EQ(t.times, "08:00");
         }},
        {"sql server without dest", Replaced(kSqlRecord, "/bak", ""), false, nullptr},
        {"sql server without instance", Replaced(kSqlRecord, "SQL1", ""), false, nullptr},
        {"sql server without database", Replaced(kSqlRecord, "a|b", ""), false, nullptr},
        {"other sql type counts as sql server",
         Replaced(Replaced(kSqlRecord, "<SQLTYPE>1", "<SQLTYPE>9"), "SQL1", ""), true,
         [](const TaskInfo& t) { EXPECT_EQ(t.sqlType, kSqlServer); }},
        {"malformed days", Replaced(kSqlRecord, "1010", "10x0"), false, nullptr},
        {"mysql without dest and databases", mysql, true,
         [](const TaskInfo& t) {
             EXPECT_EQ(t.sqlType, kMySql);
             EXPECT_EQ(t.serviceName, "mariadb");
             EXPECT_EQ(t.rootPassword, "pw");
             EXPECT_EQ(t.partial, kDatabaseVolumeMb);
             EXPECT_FALSE(t.delBad);
         }},
        {"mysql without service", Replaced(mysql, "mariadb", ""), false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskInfo task;
        task.name = "before";
        EXPECT_EQ(CQelXML::ParseTask(c.record, task), c.ok);
        if (!c.ok) {
            EXPECT_EQ(task.name, "before");
        } else if (c.check) {
            c.check(task);
        }
    }

    TaskInfo everyDay;
    ASSERT_TRUE(CQelXML::ParseTask(Without(kSqlRecord, "<DFLAG>2</DFLAG>"), everyDay));
    EXPECT_TRUE(everyDay.days.all());
    EXPECT_EQ(everyDay.period, 1);
    EXPECT_EQ(everyDay.times, "");
}

// Every kind of task, written by FormatTask and read back from task.db.
TEST_F(QelXmlFileTest, EveryKindRoundTripsThroughTheFile) {
    std::vector<TaskInfo> tasks(4);
    TaskInfo& file = tasks[0];
    file.flags = kTaskFile | kTaskScheduled;
    file.name = "文件任务";
    file.source = "/data/源";
    file.dest = "/backup/";
    file.delBad = false;
    file.period = kWeekly;
    file.days.set(0).set(2).set(6);
    file.times = "08:00 20:30";
    file.keepDays = 0;

    TaskInfo& full = tasks[1];
    full.flags = 0x3F;
    full.name = "full";
    full.source = "/data/a b";
    full.dest = "/backup/full";
    full.diff = true;
    full.basePeriod = 7;
    full.compress = true;
    full.partial = 650;
    full.password = "p@ss word";
    full.filter.Add("*.tmp");
    full.filter.Add("/cache");
    full.filter.exclude = false;
    full.period = kMonthly;
    full.days.set(0).set(14).set(30);
    full.times = "01:00,13:00，23:59";
    full.keepDays = 45;

    TaskInfo& sql = tasks[2];
    sql.flags = kTaskCompress | kTaskScheduled | kTaskKeepDays;
    sql.name = "sql";
    sql.sqlType = kSqlServer;
    sql.instance = "MSSQLSERVER";
    sql.database = "master|model";
    sql.dest = "/bak/sql";
    sql.password = "x";
    sql.partial = kDatabaseVolumeMb;
    sql.keepDays = 150;

    TaskInfo& mysql = tasks[3];
    mysql.flags = kTaskScheduled | kTaskKeepDays;
    mysql.name = "my";
    mysql.sqlType = kMySql;
    mysql.serviceName = "mariadb";
    mysql.database = "?????";
    mysql.rootPassword = "r00t";
    mysql.keepDays = 10;

    store_.SetFilePath(db_);
    ASSERT_TRUE(store_.Load());
    std::vector<std::string> records;
    for (TaskInfo& task : tasks) records.push_back(store_.FormatTask(task, true));
    EXPECT_EQ(sql.keepDays, 100);
    EXPECT_EQ(mysql.times, "01:00");
    EXPECT_EQ(records[3],
              "\n<ID>1</ID>\n<NAME>my</NAME>\n<DELBAD>1</DELBAD>\n<FLAG>12</FLAG>\n<SOURCE></"
              "SOURCE>\n<DEST></DEST>\n"
              "<DFLAG>1</DFLAG>\n<DAYS>0000000000000000000000000000000</DAYS>\n<TIME>01:00</TIME>\n"
              "<SQLTYPE>2</SQLTYPE>\n<SRVNAME>mariadb</SRVNAME>\n<DATABASE>?????"
              "</DATABASE>\n"
              "<ROOTPWD>r00t</ROOTPWD>\n<SAVEDAYS>10</SAVEDAYS>\n");
    EXPECT_EQ(records[1],
              "\n<ID>1</ID>\n<NAME>full</NAME>\n<DELBAD>1</DELBAD>\n<FLAG>63</FLAG>\n<DIFF>1</DIFF>\n"
              "<BPERIOD>7</BPERIOD>\n<EXTENSIONS>*.tmp|/cache</EXTENSIONS>\n<SOURCE>/data/a b</SOURCE>\n"
              "<DEST>/backup/full</DEST>\n<COMPRESS>1</COMPRESS>\n<PARTIAL>650</PARTIAL>\n<PWORD>p@ss "
              "word</PWORD>\n"
              "<DFLAG>3</DFLAG>\n<DAYS>1000000000000000100000000000001</DAYS>\n"
              "<TIME>01:00,13:00，23:59</TIME>\n<SAVEDAYS>45</SAVEDAYS>\n");

    for (std::size_t i = 0; i < tasks.size(); ++i) {
        tasks[i].id = static_cast<int>(i) + 1;
        records[i] = Replaced(records[i], "<ID>1</ID>", "<ID>" + std::to_string(i + 1) + "</ID>");
    }
    WriteStore(db_, StoreText(records));
    CQelXML reader;
    reader.SetFilePath(db_);
    ASSERT_TRUE(reader.Load());
    EXPECT_EQ(reader.GetMaxTaskId(), 4);
    for (const TaskInfo& expected : tasks) {
        TaskInfo read;
        ASSERT_TRUE(reader.GetTaskById(expected.id, read)) << expected.name;
        EXPECT_EQ(read, expected) << expected.name;
    }
}

TEST_F(QelXmlFileTest, FormatTaskCorrectsFieldsAndRefusesIncompleteTasks) {
    store_.SetFilePath(db_);
    ASSERT_TRUE(store_.Load());

    TaskInfo task;
    task.source = "/s";
    task.flags = 64;
    task.id = 3;
    std::string record = store_.FormatTask(task, false);
    EXPECT_EQ(task.flags, 3);
    EXPECT_EQ(record.find("<ID>"), std::string::npos);
    EXPECT_EQ(record.rfind("<NAME>Task_3</NAME>\n", 0), 0u);
    EXPECT_EQ(task.name, "");
    EXPECT_EQ(record.find("BPERIOD"), std::string::npos);
    EXPECT_EQ(record.find("SAVEDAYS"), std::string::npos);

    task.flags = kTaskFile | kTaskScheduled | kTaskKeepDays;
    task.period = 0;
    task.keepDays = -4;
    record = store_.FormatTask(task, false);
    EXPECT_EQ(task.period, 1);
    EXPECT_EQ(task.times, "01:00");
    EXPECT_EQ(task.keepDays, 30);
    EXPECT_NE(record.find("<SAVEDAYS>30</SAVEDAYS>"), std::string::npos);

    task.keepDays = 0;
    EXPECT_EQ(store_.FormatTask(task, false).find("SAVEDAYS"), std::string::npos);

    task.keepDays = 365;
    EXPECT_NE(store_.FormatTask(task, false).find("<SAVEDAYS>100</SAVEDAYS>"), std::string::npos);
    task.keepDays = 365;
    store_.SetClampKeepDays(false);
    EXPECT_NE(store_.FormatTask(task, false).find("<SAVEDAYS>365</SAVEDAYS>"), std::string::npos);
    EXPECT_NE(CQelXML(false).FormatTask(task, false).find("<SAVEDAYS>365</SAVEDAYS>"), std::string::npos);

    TaskInfo database;
    database.flags = 0;
    database.sqlType = 7;
    EXPECT_EQ(store_.FormatTask(database, false), "");  // flags 0 become 3: a file task without source
    database.flags = kTaskKeepDays;
    EXPECT_EQ(store_.FormatTask(database, false), "");  // no databases
    database.database = "db";
    record = store_.FormatTask(database, false);
    EXPECT_EQ(database.sqlType, kSqlServer);
    EXPECT_NE(record.find("<SQLTYPE>1</SQLTYPE>\n<INSTANCE></INSTANCE>\n"), std::string::npos);
    EXPECT_EQ(record.find("SRVNAME"), std::string::npos);

    TaskInfo mysql;
    mysql.flags = 0;
    mysql.sqlType = kMySql;
    mysql.flags = kTaskCompress;
    mysql.password = "pw";
    record = store_.FormatTask(mysql, false);
    EXPECT_NE(record.find("<PWORD>pw</PWORD>"), std::string::npos);
    EXPECT_EQ(record.find("COMPRESS"), std::string::npos);
    EXPECT_EQ(record.find("PARTIAL"), std::string::npos);
}

TEST_F(QelXmlFileTest, NewIdsStayAboveStoredOnes) {
    LoadText(StoreText({"\n<ID>3</ID>\n<NAME>a</NAME>", "\n<ID>12</ID>x", "<ID>7</ID>"}));
    EXPECT_EQ(store_.GetMaxTaskId(), 12);
    struct Case {
        int id;
        int expected;
    };
    for (const Case c : {Case{0, 13}, Case{5, 13}, Case{13, 13}, Case{40, 40}}) {
        TaskInfo task;
        task.id = c.id;
        task.source = "/s";
        store_.FormatTask(task, true);
        EXPECT_EQ(task.id, c.expected) << c.id;
    }
}

TEST_F(QelXmlFileTest, SaveReplacesTheFileByteForByte) {
    const std::string text = StoreText({kSqlRecord, "\n<ID>9</ID>\n<NAME>备份 任务</NAME>\n"}) + "\ntrailing";
    LoadText(text);
    EXPECT_EQ(store_.GetRecords().size(), 2u);
    const std::string before = ReadFile(db_);
    const std::string copy = dir_ / "copy.db";
    store_.SetFilePath(copy);
    ASSERT_TRUE(store_.Save());
    EXPECT_EQ(ReadFile(copy), before);
    EXPECT_EQ(ReadStore(copy), text);
    // No temporary file is left; Log/ holds the report of the record without FLAG.
    EXPECT_EQ(ListDirectory(dir_.path()), (std::vector<std::string>{"Log", "copy.db", "task.db"}));
}

// The store holds passwords under a key every copy of the program knows: it is written for its owner only,
// and a store found open to others (copied in, restored from a backup) is narrowed when it is read.
TEST_F(QelXmlFileTest, TheStoreIsKeptFromOtherUsers) {
    auto mode = [this] {
        struct stat info {};
        EXPECT_EQ(::stat(db_.c_str(), &info), 0);
        return info.st_mode & 07777;
    };
    auto narrowings = [this] {
        const std::string log = ReadFile(dir_ / "Log/Files/system.log");
        const std::string line = "\t" + db_ + " 含有压缩和数据库密码，已改为仅所有者可读写\n";
        std::size_t count = 0;
        for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
        return count;
    };
    LoadText(StoreText({kSqlRecord}));
    const std::size_t before = narrowings();
    ASSERT_EQ(::chmod(db_.c_str(), 0644), 0);
    ASSERT_TRUE(store_.Save());
    EXPECT_EQ(mode(), 0600u) << "written 0600 whatever it was";
    for (const mode_t wide : {0644, 0604, 0660}) {
        ASSERT_EQ(::chmod(db_.c_str(), wide), 0);
        ASSERT_TRUE(store_.Load());
        EXPECT_EQ(mode(), 0600u) << std::oct << wide;
    }
    ASSERT_TRUE(store_.Load());
    EXPECT_EQ(narrowings(), before + 3);
}

TEST_F(QelXmlFileTest, FailedSaveIsReported) {
    LoadText(StoreText({kSqlRecord}));
    store_.SetFilePath(dir_ / "missing/task.db");
    EXPECT_FALSE(store_.Save());

    // A folder in the way is left as it is.
    ASSERT_EQ(mkdir((dir_ / "folder.db").c_str(), 0700), 0);
    store_.SetFilePath(dir_ / "folder.db");
    EXPECT_FALSE(store_.Save());
    EXPECT_TRUE(IsDirectory(dir_ / "folder.db"));
}

TEST_F(QelXmlFileTest, OversizedOrUnreadableFileIsRefused) {
    const std::string record = "\n<ID>1</ID>\n<NAME>n</NAME>\n";
    const std::string frame = StoreText({record});
    const std::string fits = StoreText({record + std::string(kTaskStoreMaxFileSize / 8 - frame.size(), 'x')});
    ASSERT_EQ(fits.size() * 8, kTaskStoreMaxFileSize);
    LoadText(fits);
    EXPECT_EQ(store_.GetMaxTaskId(), 1);

    const std::string tooLarge = fits + "y";
    WriteStore(db_, tooLarge);
    const std::string onDisk = ReadFile(db_);
    EXPECT_FALSE(store_.Load());
    EXPECT_FALSE(store_.IsLoaded());
    EXPECT_TRUE(store_.GetRecords().empty());
    EXPECT_EQ(store_.GetMaxTaskId(), -1);
    EXPECT_FALSE(store_.Save());
    EXPECT_EQ(ReadFile(db_), onDisk);

    const std::string folder = dir_ / "dir.db";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    CQelXML unreadable;
    unreadable.SetFilePath(folder);
    EXPECT_FALSE(unreadable.Load());
    EXPECT_FALSE(unreadable.IsLoaded());
}

TEST_F(QelXmlFileTest, MalformedRecordsAreSkippedAndKept) {
    const std::string badDays = Replaced(Replaced(kSqlRecord, "1010", "12"), "<ID>5", "<ID>6");
    const std::string noName = "\n<ID>2</ID>\n<FLAG>1</FLAG>\n<SOURCE>/s</SOURCE>\n";
    LoadText(StoreText({kSqlRecord, badDays, noName}));
    EXPECT_EQ(store_.GetRecords(), (std::vector<std::string>{kSqlRecord, badDays, noName}));
    EXPECT_EQ(store_.GetMaxTaskId(), 6);
    TaskInfo task;
    EXPECT_TRUE(store_.GetTaskById(5, task));
    EXPECT_FALSE(store_.GetTaskById(6, task));
    EXPECT_FALSE(store_.GetTaskById(2, task));
    EXPECT_FALSE(store_.GetTaskById(3, task));
}

}  // namespace
}  // namespace zov
