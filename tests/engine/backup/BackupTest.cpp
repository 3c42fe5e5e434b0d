#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "BackupTestSupport.h"
#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "engine/logs/StateLog.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "platform/Mailslot.h"
#include "support/ChinaTimeClock.h"
#include "support/Trees.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;
using test::ReadTree;

using test::BackupTest;
using test::kStamp;
using test::RandomBytes;

TEST(BackupNamesTest, ItemNameAndDatedFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"/data/Work Files/", "Work Files"},
        {"/data/Work Files", "Work Files"},
        {"  /data/x  ", "x"},
        {"/data//y//", "y"},
        {"/srv/a.b", "a.b"},
        {"/", ""},
    };
    for (const auto& [source, item] : cases) EXPECT_EQ(BackupItemName(source), item) << source;
    test::ChinaTimeClock time(2024, 3, 5);
    const std::time_t when = MakeLocalTime(2024, 3, 5, 23, 59, 59);
    EXPECT_EQ(DatedFolder("/bak", when), "/bak/2024-03-05/");
    EXPECT_EQ(DatedFolder("/bak/", when), "/bak/2024-03-05/");
}

// The run's status goes through the service's sink to the status socket.
TEST_F(BackupTest, CopyTaskCopiesTheTreeUnderItsStampAndLogsOneRecord) {
    MailslotReader status(program_.path(), "StateLog");
    ASSERT_TRUE(status.bound());
    StateLogSink sink(program_.path());
    std::string message;
    ASSERT_EQ(backup_.RunFileTask(Task(0x05), "", message, {sink, job_.asker, {}}), 1) << message;

    const std::string folder = Dated() + "Work Files_" + kStamp + "/";
    EXPECT_EQ(ReadTree(folder + "Work Files"), ReadTree(source_));
    EXPECT_TRUE(fs::is_directory(folder + "Work Files/empty"));
    EXPECT_EQ(ReadTree(folder).size(), ReadTree(source_).size());

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<std::string> expected = {"文件日志",
                                               "2024-03-05 14:07:09",
                                               "12",
                                               "每日文件",
                                               "普通",
                                               source_,
                                               Dated() + "Work Files_" + kStamp,
                                               "0秒",
                                               "成功"};
    ASSERT_GE(lines[0].size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines[0].begin(), lines[0].begin() + expected.size()), expected);

    EXPECT_EQ(status.Receive(std::chrono::seconds(2)),
              std::string("[文件备份]复制文件[" + source_ + "]至[" + folder + "]") + '\0');
    EXPECT_EQ(status.Receive(std::chrono::seconds(2)), std::string());
    EXPECT_TRUE(IniFile(TempIniPath()).Read("12", "CURTASK").empty());
}

TEST_F(BackupTest, FilteredCopyTakesOnlyListedItemsAndDropsEmptyFolders) {
    struct Case {
        int flags;
        Tree expected;
    };
    const Case cases[] = {
        {0x35, {{"a.txt", "alpha"}, {"报告.txt", "年度报告"}, {"sub/deep/c.txt", "charlie"}}},
        {0x15, {{"sub/b.doc", "bravo"}}},
    };
    for (const Case& c : cases) {
        fs::remove_all(storage_);
        TaskInfo task = Task(c.flags);
        task.filter.Add("*.txt");
        std::string message;
        ASSERT_EQ(backup_.RunFileTask(task, "", message, job_.Context()), 1) << message;
        const std::string copy = Dated() + "Work Files_" + kStamp + "/Work Files";
        EXPECT_EQ(ReadTree(copy), c.expected) << c.flags;
        EXPECT_FALSE(fs::exists(copy + "/empty")) << c.flags;
    }
}

TEST_F(BackupTest, CompressedTaskWritesOnePasswordArchive) {
    const std::string rar = test::BuiltProgram("rar");
    TaskInfo task = Task(0x07);
    task.password = "s3cret pass";
    std::string message;
    ASSERT_EQ(backup_.RunFileTask(task, rar, message, job_.Context()), 1) << message;

    const std::string archive = Dated() + "Work Files_" + kStamp + ".rar";
    ASSERT_TRUE(fs::is_regular_file(archive));
    EXPECT_EQ(ReadTree(Dated()).size(), 1u);
    EXPECT_EQ(job_.status.Lines(),
              (std::vector<std::string>{"[文件备份]压缩文件夹[" + source_ + "]至目录[" + Dated() +
                                            "]存储名[Work Files_" + kStamp + ".rar]",
                                        test::RecordingStatus::kEnd}));
    EXPECT_TRUE(job_.asker.Prompts().empty());
    CZipOperator zip(rar);
    EXPECT_NE(zip.ExtractFile(archive, program_ / "wrong", "other"), 0);
    ASSERT_EQ(zip.ExtractFile(archive, program_ / "out", task.password), 0) << zip.message();
    EXPECT_EQ(ReadTree(program_ / "out/Work Files"), ReadTree(source_));

    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_GE(lines[0].size(), 9u);
    EXPECT_EQ(lines[0][6], archive);
    EXPECT_EQ(lines[0][8], "成功");
    EXPECT_EQ(lines[0][9], "");
}

TEST_F(BackupTest, AStorageFolderInsideTheSourceIsLeftOutOfCopiesAndArchives) {
    const std::string rar = test::BuiltProgram("rar");
    const auto source = ReadTree(source_);
    for (const int flags : {0x05, 0x07}) {
        fs::remove_all(source_ + "bak");
        TaskInfo task = Task(flags);
        task.dest = source_ + "bak";
        // The second run finds the first one's backup inside the source.
        for (const int second : {9, 10}) {
            time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 7, second));
            std::string message;
            ASSERT_EQ(backup_.RunFileTask(task, rar, message, job_.Context()), 1) << flags << message;
        }
        const std::string set = source_ + "bak/2024-03-05/Work Files_20240305140710";
        std::string copy = set + "/Work Files";
        if (flags == 0x07) {
            ASSERT_EQ(CZipOperator(rar).ExtractFile(set + ".rar", program_ / "out", ""), 0);
            copy = program_ / "out/Work Files";
        }
        EXPECT_EQ(ReadTree(copy), source) << flags;
        fs::remove_all(program_ / "out");
    }
}

TEST_F(BackupTest, CompressedTaskInVolumesNamesItsFirstVolume) {
    const std::string rar = test::BuiltProgram("rar");
    test::WriteFile(source_ + "noise.bin", RandomBytes(3 * 1024 * 1024));
    TaskInfo task = Task(0x07);
    task.partial = 1;
    std::string message;
    ASSERT_EQ(backup_.RunFileTask(task, rar, message, job_.Context()), 1) << message;

    const std::string first = FindVolumeName(Dated() + "Work Files_" + kStamp);
    EXPECT_TRUE(first.ends_with(".part1.rar") || first.ends_with(".part01.rar")) << first;
    EXPECT_GE(ReadTree(Dated()).size(), 3u);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][6], first);
    CZipOperator zip(rar);
    ASSERT_EQ(zip.ExtractFile(first, program_ / "out", ""), 0) << zip.message();
    EXPECT_EQ(ReadTree(program_ / "out/Work Files"), ReadTree(source_));
}

TEST_F(BackupTest, FailuresBeforeTheJobWriteOneFailedRecord) {
    struct Case {
        std::string what, source, dest, message;
    };
    const std::string twoLevels = program_ / "new/level";
    test::WriteFile(program_ / "file", "x");
    const Case cases[] = {
        {"source missing", program_ / "nothing", storage_,
         "文件备份的时候，源文件夹" + program_ / "nothing" + "不存在"},
        {"storage two levels deep", source_, twoLevels,
         "文件备份时，存储目录" + twoLevels + "不存在且无法创建，错误代码:2"},
        {"storage is a file", source_, program_ / "file",
         "文件备份时，存储目录" + program_ / "file" + "不存在且无法创建，错误代码:17"},
        {"source relative", "src/Work Files", storage_, "文件备份时，源文件夹src/Work Files不是绝对路径"},
        {"source a switch", "-rf", storage_, "文件备份时，源文件夹-rf不是绝对路径"},
        {"storage relative", source_, "bak", "文件备份时，存储目录bak不是绝对路径"},
        {"storage empty", source_, "", "文件备份时，存储目录不是绝对路径"},
    };
    for (const Case& c : cases) {
        fs::remove(program_ / "Log/Files/2024-03-05.log");
        TaskInfo task = Task(0x05);
        task.source = c.source;
        task.dest = c.dest;
        std::string message;
        EXPECT_EQ(backup_.RunFileTask(task, "", message, job_.Context()), 0) << c.what;
        EXPECT_EQ(message, c.message) << c.what;
        EXPECT_NE(test::ReadFile(program_ / "Log/Files/system.log").find(c.message), std::string::npos)
            << c.what;
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u) << c.what;
        const std::vector<std::string> expected = {"文件日志",
                                                   "2024-03-05 14:07:09",
                                                   "12",
                                                   "每日文件",
                                                   "普通",
                                                   c.source.empty() ? "---" : c.source,
                                                   c.dest.empty() ? "---" : c.dest,
                                                   "0秒",
                                                   "失败",
                                                   c.message};
        EXPECT_EQ(lines[0], expected) << c.what;
    }
    EXPECT_FALSE(fs::exists(twoLevels));
    EXPECT_FALSE(fs::exists(program_ / "bak"));
}

TEST_F(BackupTest, RunsThatMakeTheSameStorageFolderAtOnceAllSucceed) {
    constexpr int kRuns = 6;
    constexpr int kRounds = 40;
    for (int round = 0; round < kRounds; ++round) {
        const std::string dest = program_ / ("bak" + std::to_string(round));
        std::atomic<int> waiting{kRuns};
        std::atomic<int> failed{0};
        std::vector<std::jthread> runs;
        for (int run = 0; run < kRuns; ++run) {
            runs.emplace_back([&, run] {
                const std::string source = program_ / ("src" + std::to_string(run));
                test::WriteFile(source + "/f.txt", "x");
                TaskInfo task = Task(0x05);
                task.id = run + 1;
                task.source = source;
                task.dest = dest;
                std::string message;
                --waiting;
                while (waiting.load() > 0) std::this_thread::yield();
                if (CBackup().RunFileTask(task, "", message, job_.Context()) != 1) {
                    ++failed;
                    ADD_FAILURE() << message;
                }
            });
        }
        runs.clear();
        ASSERT_EQ(failed.load(), 0) << "round " << round;
    }
}

TEST_F(BackupTest, FailedJobsWriteOneFailedRecord) {
    struct Case {
        std::string what;
        int flags;
        bool diff;
        std::string rar, dest, type, target, message;
    };
    const std::string archive = Dated() + "Work Files_" + kStamp + ".rar";
    const Case cases[] = {
        {"archiver missing", 0x07, false, "", storage_, "普通", archive,
         "选择了使用winrar压缩，但是未指定winrar路径"},
        {"archiver path wrong", 0x07, false, program_ / "no-rar", storage_, "普通", archive,
         "选择了使用winrar压缩，但是未指定winrar路径"},
        {"differential, new base", 0x07, true, "", storage_, "更新", archive,
         "选择了使用winrar压缩，但是未指定winrar路径"},
    };
    for (const Case& c : cases) {
        time_.clock().Set(MakeLocalTime(2024, 3, 5, 14, 7, 9));
        fs::remove_all(program_ / "Log/Files");
        TaskInfo task = Task(c.flags);
        task.diff = c.diff;
        task.dest = c.dest;
        std::string message;
        EXPECT_EQ(backup_.RunFileTask(task, c.rar, message, job_.Context()), 0) << c.what;
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u) << c.what;
        ASSERT_GE(lines[0].size(), 10u) << c.what;
        EXPECT_EQ(lines[0][4], c.type) << c.what;
        EXPECT_EQ(lines[0][6], c.target) << c.what;
        EXPECT_EQ(lines[0][8], "失败") << c.what;
        if (!c.message.empty()) {
            EXPECT_EQ(lines[0][9], c.message) << c.what;
            EXPECT_EQ(message, c.message) << c.what;
        } else {
            EXPECT_FALSE(message.empty()) << c.what;
            EXPECT_EQ(lines[0][9], message) << c.what;
        }
        EXPECT_TRUE(IniFile(TempIniPath()).Read("12", "CURTASK").empty()) << c.what;
    }
}

// A SQL Server task whose storage folder is missing stops before it connects; a MySQL task whose service
// names no server finds no data folder.
TEST_F(BackupTest, DatabaseTasksWithoutTheirServerFail) {
    struct Case {
        int sqlType;
        std::string file, category, message;
    };
    const Case cases[] = {{kSqlServer, "SQL Server", "MSSQL日志", ""},
                          {kMySql, "MySQL", "MYSQL日志", "获取data目录失败。"}};
    for (const Case& c : cases) {
        TaskInfo task = Task(0x06);
        task.sqlType = c.sqlType;
        task.database = "sales|hr";
        task.serviceName = "no-such-server";
        std::string message;
        const int result = c.sqlType == kSqlServer
                               ? backup_.RunSqlServerTask(task, "2024-03-05", "", message, job_.Context())
                               : backup_.RunMySqlTask(task, "2024-03-05", "", message, job_.Context());
        EXPECT_EQ(result, 0);
        if (c.sqlType == kSqlServer) {
            // A run that fails before its databases are listed writes no record.
            EXPECT_EQ(message, "备份数据库时，目标文件夹 " + storage_ + " 不存在");
            EXPECT_FALSE(std::filesystem::exists(program_ / ("Log/" + c.file)));
            continue;
        }
        EXPECT_EQ(message, c.message);
        const std::string line = test::ReadFile(program_ / ("Log/" + c.file + "/2024-03-05.log"));
        EXPECT_TRUE(line.starts_with(c.category + "\t2024-03-05 14:07:09\t12\t每日文件\t备份\tsales|hr\t" +
                                     storage_ + "\t0秒\t失败\t" + c.message + "\n"))
            << line;
    }
}

}  // namespace
}  // namespace zov
