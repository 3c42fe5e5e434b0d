#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "platform/Clock.h"
#include "support/InstalledClock.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::TempProgramDir;

constexpr const char* kDuplicateName = "任务名重复，请重新设置";
constexpr const char* kSameFolder = "任务存储路径和已有的任务相同，请重新设置。";
constexpr const char* kNested = "当前路径和其他任务存储路径存在上下级关系，这样可能会影响备份和还原功能。";
constexpr const char* kBadSource = "源目录不正确，请重新设置";
constexpr const char* kNoFilterItems = "校验任务时，使用了过滤器但未设置过滤条件。";
constexpr const char* kNoWeekdays = "校验任务时，设置为每周备份，但未指定具体备份日期。";
constexpr const char* kNoMonthDays = "校验任务时，设置为每月备份，但未指定具体备份日期。";
constexpr const char* kNoBasePeriod = "基准库更新周期未设置";
constexpr const char* kBadDest = "备份存储目录不合法，请重新设置";
constexpr const char* kNoStore = "未找到配置文件";
constexpr const char* kUnsafeName = "任务名不能含有 <、>、| 或控制字符，请重新设置";
constexpr const char* kUnsafeSource = "源目录不能含有 <、>、| 或控制字符，请重新设置";
constexpr const char* kRelativeSource = "源目录必须是以 / 开头的绝对路径，请重新设置";
constexpr const char* kUnsafePassword = "压缩密码不能含有 <、>、| 或控制字符，请重新设置";

class QelXmlValidateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(source_.c_str(), 0700), 0);
        // Stored: a file task due at 08:00, a MySQL task and a record that does not parse.
        const std::string text =
            "<SETUP>\n<TASK>|||||"
            "\n<ID>1</ID>\n<NAME>docs</NAME>\n<FLAG>5</FLAG>\n<SOURCE>" +
            source_ +
            "</SOURCE>\n<DEST>/bak/docs</DEST>\n<DFLAG>1</DFLAG>\n<TIME>08:00</TIME>\n|||||"
            "\n<ID>2</ID>\n<NAME>my</NAME>\n<FLAG>4</FLAG>\n<DEST>/bak/db</DEST>\n<SQLTYPE>2</SQLTYPE>\n"
            "<SRVNAME>mariadb</SRVNAME>\n<DATABASE>shop|crm</DATABASE>\n<DFLAG>1</DFLAG>\n<TIME>08:00</"
            "TIME>\n|||||"
            "\n<ID>3</ID>\n<NAME>broken</NAME>\n<FLAG>1</FLAG>\n<DEST>/bak/broken</DEST>\n|||||\n</TASK>\n</"
            "SETUP>";
        ASSERT_EQ(CAES().EncryptTextToFile(text, kTaskStoreKey, dir_ / "task.db"), 1);
        store_.SetFilePath(dir_ / "task.db");
        ASSERT_TRUE(store_.Load());
    }

    // A new file task that passes every check.
    TaskInfo NewTask() const {
        TaskInfo task;
        task.id = 9;
        task.flags = kTaskFile | kTaskScheduled;
        task.name = "new";
        task.source = source_;
        task.dest = "/srv/new";
        task.times = "09:00";
        return task;
    }

    TempProgramDir dir_;
    std::string source_ = dir_ / "source";
    test::InstalledClock clock_{MakeLocalTime(2024, 3, 5, 9, 15)};
    CQelXML store_;
};

TEST_F(QelXmlValidateTest, ErrorsAndWarnings) {
    struct Case {
        std::string name;
        std::function<void(TaskInfo&)> change;
        int result;
        std::string message;
    };
    const Case cases[] = {
        {"fine", [](TaskInfo&) {}, 0, ""},
        {"duplicate name", [](TaskInfo& t) { t.name = "docs"; }, -1, kDuplicateName},
        {"own record is not a duplicate",
         [](TaskInfo& t) {
             t.id = 1;
             t.name = "docs";
             t.dest = "/bak/docs";
         },
         0, ""},
        {"name of an unreadable record is free", [](TaskInfo& t) { t.name = "broken"; }, 0, ""},
        {"same folder", [](TaskInfo& t) { t.dest = "/bak//docs/"; }, -1, kSameFolder},
        {"folder above others", [](TaskInfo& t) { t.dest = "/bak"; }, -2, kNested},
        {"folder below another", [](TaskInfo& t) { t.dest = "/bak/db/sub"; }, -2, kNested},
        {"prefix is not a parent", [](TaskInfo& t) { t.dest = "/bak/docs2"; }, 0, ""},
        {"case matters", [](TaskInfo& t) { t.dest = "/BAK/docs"; }, 0, ""},
        // Errors win over the warning wherever they are found.
        {"warning then duplicate name",
         [](TaskInfo& t) {
             t.dest = "/bak/docs/sub";
             t.name = "my";
         },
         -1, kDuplicateName},
        {"warning then same folder", [](TaskInfo& t) { t.dest = "/bak/db"; }, -1, kSameFolder},
        {"warning and bad source",
         [](TaskInfo& t) {
             t.dest = "/bak";
             t.source += "/missing";
         },
         -1, kBadSource},
        {"source is a file", [](TaskInfo& t) { t.source = "/proc/self/status"; }, -1, kBadSource},
        {"filter without items", [](TaskInfo& t) { t.flags |= kTaskFilter; }, -1, kNoFilterItems},
        {"filter with items",
         [](TaskInfo& t) {
             t.flags |= kTaskFilter;
             t.filter.Add("*.tmp");
         },
         0, ""},
        {"weekly without weekdays",
         [](TaskInfo& t) {
             t.period = kWeekly;
             t.days.set(7);
         },
         -1, kNoWeekdays},
        {"weekly on Sunday",
         [](TaskInfo& t) {
             t.period = kWeekly;
             t.days.set(6);
         },
         0, ""},
        {"monthly without days", [](TaskInfo& t) { t.period = kMonthly; }, -1, kNoMonthDays},
        {"monthly on the 31st",
         [](TaskInfo& t) {
             t.period = kMonthly;
             t.days.set(30);
         },
         0, ""},
        {"diff without base period", [](TaskInfo& t) { t.diff = true; }, -1, kNoBasePeriod},
        {"diff with base period",
         [](TaskInfo& t) {
             t.diff = true;
             t.basePeriod = 0;
         },
         0, ""},
        {"relative folder", [](TaskInfo& t) { t.dest = "srv/new"; }, -1, kBadDest},
        {"empty folder", [](TaskInfo& t) { t.dest = ""; }, -1, kBadDest},
        {"folder with ?", [](TaskInfo& t) { t.dest = "/srv/a?"; }, -1, kBadDest},
        {"folder with bar", [](TaskInfo& t) { t.dest = "/srv/a|b"; }, -1, kBadDest},
        {"folder with <", [](TaskInfo& t) { t.dest = "/srv/<a"; }, -1, kBadDest},
        {"name with <", [](TaskInfo& t) { t.name = "a<b"; }, -1, kUnsafeName},
        {"name with bar", [](TaskInfo& t) { t.name = "a|b"; }, -1, kUnsafeName},
        {"name with a line break", [](TaskInfo& t) { t.name = "a\nb"; }, -1, kUnsafeName},
        {"name with NUL", [](TaskInfo& t) { t.name = std::string("a\0b", 3); }, -1, kUnsafeName},
        {"name with DEL", [](TaskInfo& t) { t.name = "a\x7f"; }, -1, kUnsafeName},
        {"name in Chinese", [](TaskInfo& t) { t.name = "文档备份"; }, 0, ""},
        {"source with >", [](TaskInfo& t) { t.source += ">x"; }, -1, kUnsafeSource},
        {"source with a tab", [](TaskInfo& t) { t.source += "\tx"; }, -1, kUnsafeSource},
        {"relative source", [](TaskInfo& t) { t.source = "."; }, -1, kRelativeSource},
        {"folder with a line break", [](TaskInfo& t) { t.dest = "/srv/a\nb"; }, -1, kBadDest},
        {"folder with NUL", [](TaskInfo& t) { t.dest = std::string("/srv/a\0b", 8); }, -1, kBadDest},
        {"password with >", [](TaskInfo& t) { t.password = "pa>ss"; }, -1, kUnsafePassword},
        {"password with a control character", [](TaskInfo& t) { t.password = "pa\x01ss"; }, -1,
         kUnsafePassword},
        {"password with blanks and quotes", [](TaskInfo& t) { t.password = "p a\"s's"; }, 0, ""},
        {"first failing check wins",
         [](TaskInfo& t) {
             t.flags |= kTaskFilter;
             t.dest = "relative";
         },
         -1, kNoFilterItems},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskInfo task = NewTask();
        c.change(task);
        std::string message = "stale";
        EXPECT_EQ(store_.ValidateTask(task, message), c.result);
        EXPECT_EQ(message, c.message);
    }
}

// A database task's names and root password are refused when they hold what a stored value cannot.
TEST_F(QelXmlValidateTest, DatabaseFieldsHoldOnlyStorableText) {
    constexpr const char* kDatabase = "数据库名不能含有 <、>、| 或控制字符，请重新设置";
    constexpr const char* kInstance = "实例名不能含有 <、>、| 或控制字符，请重新设置";
    constexpr const char* kService = "服务名不能含有 <、>、| 或控制字符，请重新设置";
    constexpr const char* kRootPassword = "root密码不能含有 <、>、| 或控制字符，请重新设置";
    struct Case {
        std::string name;
        int sqlType;
        std::function<void(TaskInfo&)> change;
        std::string message;
    };
    const Case cases[] = {
        {"plain SQL Server task", kSqlServer, [](TaskInfo&) {}, ""},
        {"plain MySQL task", kMySql, [](TaskInfo&) {}, ""},
        {"all databases", kMySql, [](TaskInfo& t) { t.database = "?????"; }, ""},
        {"database with >", kSqlServer, [](TaskInfo& t) { t.database = "sales|a>b"; }, kDatabase},
        {"database with a line break", kMySql, [](TaskInfo& t) { t.database = "a\nb"; }, kDatabase},
        {"database in Chinese with blanks", kSqlServer, [](TaskInfo& t) { t.database = "销售 库|hr"; }, ""},
        {"instance with <", kSqlServer, [](TaskInfo& t) { t.instance = "SQL<X"; }, kInstance},
        {"instance of a MySQL task is not used", kMySql, [](TaskInfo& t) { t.instance = "a<b"; }, ""},
        {"service with bar", kMySql, [](TaskInfo& t) { t.serviceName = "my|sql"; }, kService},
        {"root password with <", kMySql, [](TaskInfo& t) { t.rootPassword = "p<w"; }, kRootPassword},
        {"root password with the record marker", kMySql, [](TaskInfo& t) { t.rootPassword = "a|||||b"; },
         kRootPassword},
        {"root password with NUL", kMySql, [](TaskInfo& t) { t.rootPassword = std::string("a\0b", 3); },
         kRootPassword},
        {"root password with quotes, blanks and $", kMySql,
         [](TaskInfo& t) { t.rootPassword = "p\"a 's $x"; }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskInfo task = NewTask();
        task.flags = kTaskCompress | kTaskScheduled;
        task.sqlType = c.sqlType;
        task.database = "sales";
        task.instance = "MSSQLSERVER";
        task.serviceName = "mariadb";
        c.change(task);
        std::string message;
        EXPECT_EQ(store_.ValidateTask(task, message), c.message.empty() ? 0 : -1);
        EXPECT_EQ(message, c.message);
    }
}

TEST_F(QelXmlValidateTest, UnloadedStore) {
    CQelXML unloaded;
    std::string message;
    EXPECT_EQ(unloaded.ValidateTask(NewTask(), message), -1);
    EXPECT_EQ(message, kNoStore);
}

TEST_F(QelXmlValidateTest, SimilarityToTasksDueNow) {
    struct Case {
        std::string name;
        std::function<void(TaskInfo&)> change;
        int level;
    };
    const Case cases[] = {
        {"same source", [](TaskInfo&) {}, 1},
        {"same source and folder",
         [](TaskInfo& t) {
             t.id = 1;
             t.name = "docs";
             t.dest = "/bak/docs/";
         },
         2},
        {"same source, folder and time",
         [](TaskInfo& t) {
             t.id = 1;
             t.name = "docs";
             t.dest = "/bak/docs";
             t.times = "07:00 08:00";
         },
         3},
        {"other source", [](TaskInfo& t) { t.source = "/"; }, 0},
        {"database in common",
         [](TaskInfo& t) {
             t.flags = kTaskScheduled;
             t.sqlType = kMySql;
             t.database = "blog|crm";
         },
         1},
        {"no database in common",
         [](TaskInfo& t) {
             t.flags = kTaskScheduled;
             t.sqlType = kMySql;
             t.database = "blog|crm2";
         },
         0},
        // An empty list shares nothing, not even with a file task's empty one.
        {"no databases",
         [](TaskInfo& t) {
             t.flags = kTaskScheduled;
             t.sqlType = kMySql;
             t.database = "";
         },
         0},
    };
    clock_.Set(MakeLocalTime(2024, 3, 5, 8, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskInfo task = NewTask();
        c.change(task);
        std::string message;
        EXPECT_EQ(store_.ValidateTask(task, message), c.level);
        EXPECT_EQ(message, "");
    }

    // Outside the minute of the stored tasks nothing is similar.
    clock_.Set(MakeLocalTime(2024, 3, 5, 8, 1));
    std::string message;
    EXPECT_EQ(store_.ValidateTask(NewTask(), message), 0);
}

}  // namespace
}  // namespace zov
