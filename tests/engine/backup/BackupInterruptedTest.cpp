#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "BackupTestSupport.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "support/Trees.h"

// Runs cut short by a kill or a stop of the service, and their record at the next start.
namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Names;

constexpr int kCopy = kTaskFile | kTaskScheduled;
constexpr int kArchive = kTaskFile | kTaskCompress | kTaskScheduled;
constexpr const char* kInterrupted = "备份被中断（服务停止或进程被终止）";
constexpr const char* kInterruptedAndRemoved = "备份被中断（服务停止或进程被终止），未完成的备份已删除";

class BackupInterruptedTest : public test::BackupTest {
  protected:
    std::time_t RunTime() const { return MakeLocalTime(2024, 3, 5, 14, 7, 9); }

    // Makes entries below folder: "name/" a folder holding a file, "name->target" a link, else a file.
    static void Make(const std::string& folder, const std::vector<std::string>& entries) {
        for (const std::string& entry : entries) {
            const std::size_t arrow = entry.find("->");
            if (arrow != std::string::npos) {
                fs::create_directories(fs::path(JoinPath(folder, entry.substr(0, arrow))).parent_path());
                fs::create_symlink(entry.substr(arrow + 2), JoinPath(folder, entry.substr(0, arrow)));
            } else if (entry.back() == '/') {
                test::WriteFile(folder + entry + "Work Files/a.txt", "alpha");
            } else {
                test::WriteFile(folder + entry, "data");
            }
        }
    }

    // The names the entries of Make give directly in their folder.
    static std::set<std::string> TopNames(const std::vector<std::string>& entries) {
        std::set<std::string> names;
        for (const std::string& entry : entries) {
            const std::string path = entry.substr(0, entry.find("->"));
            names.insert(path.substr(0, path.find('/')));
        }
        return names;
    }

    // Waits for a child for at most 30 s (then kills it); its wait status.
    static int WaitForChild(pid_t pid) {
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + 30s;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                ADD_FAILURE() << "the child did not end";
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        return status;
    }
};

// A child whose files may not grow beyond a limit is killed (SIGXFSZ) by the write that passes it: a crash
// in the middle of a copy, leaving a truncated file behind.
TEST_F(BackupInterruptedTest, ACopyKilledMidwayLeavesNoSetUnderItsOwnName) {
    constexpr rlim_t kLimit = 256 << 10;
    test::WriteFile(source_ + "big.bin", test::RandomBytes(1 << 20));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const struct rlimit noCore { 0, 0 };
        const struct rlimit size { kLimit, kLimit };
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::setrlimit(RLIMIT_FSIZE, &size);
        std::string message;
        CBackup().RunFileTask(Task(kCopy), "", message, job_.Context());
        ::_exit(0);
    }
    const int status = WaitForChild(child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;

    EXPECT_EQ(Names(Dated()), std::set<std::string>{PartialSetName(test::kStamp, 12)});
    // The file cut short stays under the private name it is written to, never under its own.
    const std::string copied = Dated() + PartialSetName(test::kStamp, 12) + "/Work Files/";
    std::set<std::string> partial = Names(copied);
    EXPECT_EQ(partial.erase("big.bin"), 0u);
    partial.erase("a.txt");
    ASSERT_EQ(partial.size(), 1u);
    EXPECT_EQ(fs::file_size(copied + *partial.begin()), kLimit);
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(CurrentTask(), "2024-03-05 14:07:09");

    backup_.RecordInterruptedRun(Task(kCopy), RunTime());
    EXPECT_EQ(Names(Dated()), std::set<std::string>());
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::vector<std::string> expected = {
        "文件日志", "2024-03-05 14:07:09", "12",  "每日文件", "普通",
        source_,    Dated() + Set(),       "0秒", "失败",     kInterruptedAndRemoved};
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(CurrentTask(), "");
}

// Only the run's own work folders go: a finished set of the same name (it may be another task's) and the
// work folders of other tasks and earlier runs stay.
TEST_F(BackupInterruptedTest, OnlyWhatTheRunLeftUnfinishedIsRemoved) {
    const std::string set = Set();
    const std::string outside = program_ / "outside/";
    Make(outside, {"kept/", "file.txt"});
    const std::vector<std::string> unfinished = {
        PartialSetName(test::kStamp, 12) + "/",
        PartialSetName(test::kStamp, 12) + "/Work Files/out->" + outside + "file.txt",
        PartialSetName("20240305140712", 12) + "/",
    };
    const std::vector<std::string> others = {
        set + "/",
        set + ".rar",
        set + ".part01.rar",
        PartialSetName(test::kStamp, 13) + "/",
        PartialSetName("20240305140708", 12) + "/",
        set + ".partial/",
        set + ".zip",
    };
    const std::vector<std::string> lookAlikes = {
        PartialSetName(test::kStamp, 12) + "->" + outside + "kept",
        PartialSetName("20240305140712", 12),
    };
    const struct {
        const char* what;
        std::time_t runTime;
        std::vector<std::string> made;
        std::set<std::string> kept;
        std::string target, message;
    } cases[] = {
        {"the run's work folders", RunTime(), unfinished, {}, Dated() + set, kInterruptedAndRemoved},
        {"links and entries of another kind", RunTime(), lookAlikes, TopNames(lookAlikes), Dated() + set,
         kInterruptedAndRemoved},
        {"time unknown", 0, unfinished, TopNames(unfinished), storage_, kInterrupted},
    };
    for (const auto& c : cases) {
        fs::remove_all(storage_);
        fs::remove(program_ / "Log/Files/2024-03-05.log");
        IniFile(TempIniPath()).Write("12", kCurrentTaskSection, "2024-03-05 14:07:09");
        Make(Dated(), others);
        Make(Dated(), c.made);
        const std::set<std::string> outsideBefore = test::DescribeTree(outside);

        backup_.RecordInterruptedRun(Task(kCopy), c.runTime);

        std::set<std::string> kept = TopNames(others);
        kept.insert(c.kept.begin(), c.kept.end());
        EXPECT_EQ(Names(Dated()), kept) << c.what;
        EXPECT_EQ(test::DescribeTree(outside), outsideBefore) << c.what;
        const auto lines = LogLines();
        ASSERT_EQ(lines.size(), 1u) << c.what;
        ASSERT_EQ(lines[0].size(), 10u) << c.what;
        EXPECT_EQ(lines[0][6], c.target) << c.what;
        EXPECT_EQ(lines[0][8], "失败") << c.what;
        EXPECT_EQ(lines[0][9], c.message) << c.what;
        EXPECT_EQ(CurrentTask(), "") << c.what;
    }
}

TEST_F(BackupInterruptedTest, ADatedFolderThatIsALinkIsLeftAlone) {
    const std::string outside = program_ / "outside/";
    Make(outside, {PartialSetName(test::kStamp, 12) + "/", Set() + ".rar"});
    fs::create_directories(storage_);
    fs::create_directory_symlink(outside, CleanPath(Dated()));
    const std::set<std::string> before = test::DescribeTree(outside);
    backup_.RecordInterruptedRun(Task(kArchive), RunTime());
    EXPECT_EQ(test::DescribeTree(outside), before);
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0][8], "失败");
}

// A database run keeps the archives of the databases it finished and loses the work folder of the one it
// was writing; its record goes to its own log.
TEST_F(BackupInterruptedTest, ADatabaseRunLosesOnlyTheArchiveItWasWriting) {
    const std::string outside = program_ / "outside/";
    Make(outside, {"file.txt"});
    const std::vector<std::string> kept = {
        "shop_20240305140709.rar",
        "sales_20240305140712.part1.rar",
        PartialSetName("20240305140708", 12) + "/",
        PartialSetName("20240305140715", 13) + "/",
        PartialSetName("20240305140716", 12) + "->" + outside,
        "notes.txt",
    };
    const std::vector<std::string> removed = {PartialSetName("20240305140715", 12) + "/",
                                              PartialSetName(test::kStamp, 12) + "/"};
    const struct {
        const char* what;
        int sqlType;
        std::time_t runTime;
        std::string log, category, message;
        bool removes;
    } cases[] = {
        {"MySQL", kMySql, RunTime(), "MySQL", "MYSQL日志", kInterruptedAndRemoved, true},
        {"SQL Server", kSqlServer, RunTime(), "SQL Server", "MSSQL日志", kInterruptedAndRemoved, true},
        {"time unknown", kMySql, 0, "MySQL", "MYSQL日志", kInterrupted, false},
    };
    for (const auto& c : cases) {
        fs::remove_all(storage_);
        fs::remove_all(program_ / "Log");
        Make(Dated(), kept);
        Make(Dated(), removed);
        TaskInfo task = Task(kTaskScheduled);
        task.sqlType = c.sqlType;
        task.database = "sales";

        backup_.RecordInterruptedRun(task, c.runTime);

        std::set<std::string> left = TopNames(kept);
        if (!c.removes) left.merge(TopNames(removed));
        EXPECT_EQ(Names(Dated()), left) << c.what;
        EXPECT_EQ(test::ReadFile(outside + "file.txt"), "data") << c.what;
        EXPECT_EQ(test::ReadFile(program_ / ("Log/" + c.log + "/2024-03-05.log")),
                  c.category + "\t2024-03-05 14:07:09\t12\t每日文件\t备份\tsales\t" + storage_ +
                      "\t0秒\t失败\t" + c.message + "\n")
            << c.what;
        EXPECT_TRUE(LogLines().empty()) << c.what;
    }
}

// The job's stop ends the archiver; the run then writes no record and leaves its entry in temp.ini for
// the record at the next start.
TEST_F(BackupInterruptedTest, ARunEndedByItsStopIsNotRecorded) {
    const std::string archiver = program_ / "slow-rar";
    test::WriteFile(archiver, "#!/bin/sh\necho $$ > '" + program_ / "archiver.pid" + "'\nexec sleep 30\n");
    ::chmod(archiver.c_str(), 0755);
    int result = -1;
    std::jthread run([&] {
        std::string message;
        result = backup_.RunFileTask(Task(kArchive), archiver, message, job_.Context());
    });
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (test::ReadFile(program_ / "archiver.pid").empty() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_FALSE(test::ReadFile(program_ / "archiver.pid").empty());
    job_.stop.request_stop();
    run.join();

    EXPECT_EQ(result, 0);
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(CurrentTask(), "2024-03-05 14:07:09");
    backup_.RecordInterruptedRun(Task(kArchive), RunTime());
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0][9], kInterruptedAndRemoved);
}

}  // namespace
}  // namespace zov
