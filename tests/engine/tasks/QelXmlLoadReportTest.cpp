#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "engine/util/Aes.h"
#include "engine/util/CommonText.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

using test::TempProgramDir;

const std::string kGoodRecord =
    "\n<ID>1</ID>\n<NAME>good</NAME>\n<FLAG>1</FLAG>\n<SOURCE>/src</SOURCE>\n<DEST>/bak/good</DEST>\n";

// The load reports of a system.log; a store written open to others is also narrowed and says so there.
std::vector<std::string> LoadReports(const std::string& log) {
    std::vector<std::string> lines;
    SplitToList(lines, test::ReadFile(log), '\n', true, 1);
    std::erase_if(lines,
                  [](const std::string& line) { return line.find("\t任务配置文件 ") == std::string::npos; });
    return lines;
}

std::string StoreText(const std::vector<std::string>& records) {
    std::string text = "<SETUP>\n<TASK>|||||";
    for (const std::string& record : records) text += record + "|||||";
    return text + "\n</TASK>\n</SETUP>";
}

// What is wrong with task.db reaches system.log (and syslog) once for each content of the file, however
// often the service reloads it.
class QelXmlLoadReportTest : public ::testing::Test {
  protected:
    void SetUp() override { IniFile(ConfigIniPath()).Write("Dir", "LOG", LogFolderDefault()); }

    std::vector<std::string> Reports() const { return LoadReports(dir_ / "Log/Files/system.log"); }

    // A fresh store, as each thread of the service has its own.
    bool Load() const {
        CQelXML store;
        store.SetFilePath(db_);
        return store.Load();
    }

    void WriteStore(const std::string& text) const {
        ASSERT_EQ(CAES().EncryptTextToFile(text, kTaskStoreKey, db_), 1);
    }

    TempProgramDir dir_;
    std::string db_ = dir_ / "task.db";
};

TEST_F(QelXmlLoadReportTest, AStoreThatCannotBeLoadedIsReportedOncePerChange) {
    struct Case {
        const char* what;
        std::function<void(const std::string& db)> make;
        std::string reason;
    };
    const std::string nul = StoreText({kGoodRecord}) + std::string(1, '\0') + StoreText({kGoodRecord});
    const Case cases[] = {
        {"blocks that are no character's cipher",
         [](const std::string& db) { test::WriteFile(db, std::string(64, '\x5a')); }, "已损坏（第 0 字节起"},
        {"a part of a block", [](const std::string& db) { test::WriteFile(db, std::string(12, '\0')); },
         "已损坏（长度 12 字节不是 8 的倍数）"},
        {"a NUL byte that would end the text early",
         [&nul](const std::string& db) { ASSERT_EQ(CAES().EncryptTextToFile(nul, kTaskStoreKey, db), 1); },
         "已损坏（第 " + std::to_string(StoreText({kGoodRecord}).size() * 8) + " 字节起"},
        {"too large",
         [](const std::string& db) {
             ASSERT_EQ(
                 CAES().EncryptTextToFile(std::string(kTaskStoreMaxFileSize / 8 + 1, 'x'), kTaskStoreKey, db),
                 1);
         },
         "大于可读取的 2024000 字节"},
        {"a folder", [](const std::string& db) { ASSERT_EQ(mkdir(db.c_str(), 0700), 0); }, "不是普通文件"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempProgramDir dir;
        const std::string db = dir / "task.db";
        c.make(db);
        for (int load = 0; load < 3; ++load) {
            CQelXML store;
            store.SetFilePath(db);
            EXPECT_FALSE(store.Load());
        }
        const std::vector<std::string> lines = LoadReports(dir / "Log/Files/system.log");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find("任务配置文件 " + db + " " + c.reason), std::string::npos) << lines[0];
    }
}

// The report reaches syslog too. The child gets a /dev of its own (a private mount namespace) where it
// listens on /dev/log, so the system's log is left alone.
TEST_F(QelXmlLoadReportTest, TheReportReachesSyslogOnce) {
    constexpr int kCannotIsolate = 77;
    test::WriteFile(db_, std::string(64, '\x5a'));
    ASSERT_EQ(chmod(db_.c_str(), 0600), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("none", "/dev", "tmpfs", 0, nullptr) != 0) {
            _exit(kCannotIsolate);
        }
        const int log = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, "/dev/log");
        const timeval wait{5, 0};
        if (log < 0 || bind(log, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            setsockopt(log, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0) {
            _exit(kCannotIsolate);
        }
        Load();
        Load();
        char message[4096] = {};
        const ssize_t got = recv(log, message, sizeof message - 1, 0);
        const bool reported = got > 0 && std::strstr(message, "已损坏") != nullptr;
        const bool once = recv(log, message, sizeof message, MSG_DONTWAIT) < 0 && errno == EAGAIN;
        _exit(reported && once ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kCannotIsolate) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(QelXmlLoadReportTest, AChangedFileIsReportedAgain) {
    test::WriteFile(db_, std::string(64, '\x5a'));
    EXPECT_FALSE(Load());
    EXPECT_FALSE(Load());
    ASSERT_EQ(Reports().size(), 1u);
    test::WriteFile(db_, std::string(64, '\x5b'));
    EXPECT_FALSE(Load());
    EXPECT_FALSE(Load());
    EXPECT_EQ(Reports().size(), 2u);

    // Mended, then broken again the same way: that is news again.
    WriteStore(StoreText({kGoodRecord}));
    EXPECT_TRUE(Load());
    test::WriteFile(db_, std::string(64, '\x5b'));
    EXPECT_FALSE(Load());
    EXPECT_EQ(Reports().size(), 3u);
}

// Records that are not read, and records that are read but whose schedule never runs as written (kept:
// the task is listed); a schedule that is switched off is never news.
TEST_F(QelXmlLoadReportTest, EverySkippedRecordIsReportedWithItsReason) {
    struct Case {
        std::string record;
        std::string reason;  // "": nothing is reported
        bool kept = false;
    };
    const std::string head = "\n<ID>7</ID>\n<NAME>bad</NAME>\n";
    const std::string file = "<SOURCE>/src</SOURCE>\n<DEST>/bak/bad</DEST>\n";
    const std::string scheduled = head + "<FLAG>5</FLAG>\n" + file;
    const Case cases[] = {
        {head + "<FLAG>64</FLAG>\n" + file, "FLAG 值“64”不是 1 到 63 之间的数"},
        {head + "<FLAG>65</FLAG>\n" + file, "FLAG 值“65”不是 1 到 63 之间的数"},
        {head + "<FLAG>0</FLAG>\n" + file, "FLAG 值“0”不是 1 到 63 之间的数"},
        {head + "<FLAG>-1</FLAG>\n" + file, "FLAG 值“-1”不是 1 到 63 之间的数"},
        {head + "<FLAG>5x</FLAG>\n" + file, "FLAG 值“5x”不是 1 到 63 之间的数"},
        {scheduled + "<DFLAG>4</DFLAG>\n", "DFLAG 值“4”不是 1 到 3 之间的数"},
        {scheduled + "<DFLAG>2</DFLAG>\n<DAYS>12</DAYS>\n", "DAYS 值“12”含有 0 和 1 以外的字符"},
        {head + "<FLAG>1</FLAG>\n", "缺少 SOURCE"},
        {"\n<ID>7</ID>\n<FLAG>1</FLAG>\n" + file, "缺少 NAME"},
        {"\n<NAME>x</NAME>\n", "缺少 ID"},
        {scheduled + "<DFLAG>1</DFLAG>\n<TIME>25:99</TIME>\n", "备份时间“25:99”无效", true},
        {scheduled + "<DFLAG>1</DFLAG>\n<TIME>08:00,24:00 7:30</TIME>\n", "备份时间“24:00”“7:30”无效", true},
        {scheduled + "<DFLAG>1</DFLAG>\n", "未设置备份时间", true},
        {scheduled + "<TIME>，</TIME>\n", "未设置备份时间", true},
        {scheduled + "<DFLAG>2</DFLAG>\n<DAYS>1110000000</DAYS>\n<TIME>08:00</TIME>\n",
         "设置为每周备份，但未指定具体备份日期", true},
        {scheduled + "<DFLAG>3</DFLAG>\n<DAYS>0</DAYS>\n<TIME>08:00</TIME>\n",
         "设置为每月备份，但未指定具体备份日期", true},
        {scheduled + "<DFLAG>3</DFLAG>\n<DAYS>1000000000000000000000000000000</DAYS>\n<TIME>23:59</TIME>\n",
         "", true},
        {head + "<FLAG>1</FLAG>\n" + file + "<DFLAG>2</DFLAG>\n<DAYS>0</DAYS>\n<TIME>25:99</TIME>\n", "",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.record);
        TempProgramDir dir;
        const std::string db = dir / "task.db";
        ASSERT_EQ(CAES().EncryptTextToFile(StoreText({kGoodRecord, c.record}), kTaskStoreKey, db), 1);
        CQelXML store;
        store.SetFilePath(db);
        for (int load = 0; load < 3; ++load) {
            ASSERT_TRUE(store.Load());
            std::vector<TaskInfo> tasks;
            store.GetAllTasks(tasks);
            ASSERT_EQ(tasks.size(), c.kept ? 2u : 1u);
            EXPECT_EQ(tasks[0].name, "good");
        }
        const std::vector<std::string> lines = LoadReports(dir / "Log/Files/system.log");
        ASSERT_EQ(lines.size(), c.reason.empty() ? 0u : 1u);
        if (c.reason.empty()) continue;
        const std::string id = c.reason == "缺少 ID" ? "无 ID" : "ID 7";
        EXPECT_NE(lines[0].find("任务配置文件 " + db + " 的第 2 条记录（" + id +
                                (c.kept ? "）的计划无法运行：" : "）被跳过：") + c.reason),
                  std::string::npos)
            << lines[0];
    }
}

// A record the store keeps but cannot read is reported again each time a change rewrites the file.
TEST_F(QelXmlLoadReportTest, ASkippedRecordIsReportedAgainAfterEachChange) {
    WriteStore(StoreText({kGoodRecord, "\n<ID>7</ID>\n<NAME>bad</NAME>\n<FLAG>128</FLAG>\n"}));
    CQelXML store;
    store.SetFilePath(db_);
    ASSERT_TRUE(store.Load());
    ASSERT_TRUE(Load());
    ASSERT_EQ(Reports().size(), 1u);

    TaskInfo task;
    ASSERT_TRUE(store.GetTaskById(1, task));
    task.name = "renamed";
    ASSERT_TRUE(store.ChangeTask(kChangeModify, task, true, false));
    ASSERT_TRUE(Load());
    ASSERT_TRUE(Load());
    const std::vector<std::string> reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[1].find("FLAG 值“128”"), std::string::npos) << reports[1];
}

}  // namespace
}  // namespace zov
