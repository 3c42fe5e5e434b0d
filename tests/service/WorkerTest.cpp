#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "SchedulerTestSupport.h"
#include "engine/backup/Backup.h"
#include "engine/logs/QelLog.h"
#include "platform/Mailslot.h"
#include "service/ExpiredBackups.h"
#include "service/Scheduler.h"
#include "service/SharedTaskStore.h"
#include "service/Worker.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

class WorkerTest : public test::RunStateTest {
  protected:
    // A worker whose runs are recorded and answered by result (or by the run hook when set).
    Worker FakeWorker() {
        return Worker(queue_, [this](const TaskInfo& task, const std::string& rarPath, std::string& message,
                                     const JobContext&) {
            ran_.push_back(task.id);
            rarPaths_.push_back(rarPath);
            if (hook_) hook_();
            message = result_ ? "" : "出错";
            return result_;
        });
    }

    TaskInfo Queued(int id, const std::string& time) const { return test::ScheduledTask(program_, id, time); }

    RunQueue queue_;
    std::vector<int> ran_;
    std::vector<std::string> rarPaths_;
    bool result_ = true;
    std::function<void()> hook_;
};

TEST_F(WorkerTest, TakesTheFirstEntryThatIsDueAndNotRunning) {
    temp_.Write(RunStateKey(2), kRunningSection, "07:30");
    ASSERT_TRUE(queue_.Enqueue(Queued(1, "08:01"), zov::Now()));  // later than now: dropped
    ASSERT_TRUE(queue_.Enqueue(Queued(2, "07:45"), zov::Now()));
    ASSERT_TRUE(queue_.Enqueue(Queued(3, "07:00"), zov::Now()));
    ASSERT_TRUE(queue_.Enqueue(Queued(4, "08:00"), zov::Now()));
    temp_.Write(RunStateKey(2), kRunningSection, "07:30 07:45");  // taken by another worker meanwhile

    Worker worker = FakeWorker();
    ASSERT_TRUE(worker.Step());
    EXPECT_EQ(ran_, std::vector<int>{3});
    EXPECT_EQ(queue_.Size(), 1u);
    ASSERT_TRUE(worker.Step());
    EXPECT_EQ(ran_, (std::vector<int>{3, 4}));
    EXPECT_FALSE(worker.Step());
    EXPECT_EQ(State(kRunningSection, 1), "");
    EXPECT_EQ(State(kRunningSection, 2), "07:30 07:45");
}

TEST_F(WorkerTest, FilesEachRunUnderItsResult) {
    struct Case {
        bool result;
        std::string succeeded, failed;
    };
    const Case cases[] = {{true, "07:00 08:00", ""}, {false, "07:00", "06:00 08:00"}};
    for (const Case& c : cases) {
        const int id = c.result ? 5 : 6;  // a time of a task starts once a day
        temp_.Write(RunStateKey(id), kSucceededSection, "07:00");
        temp_.Write(RunStateKey(id), kFailedSection, "06:00");
        temp_.Write(RunStateKey(id), kRunningSection, "05:00");
        ASSERT_TRUE(queue_.Enqueue(Queued(id, "08:00"), zov::Now()));
        hook_ = [&] {  // the time is filed as failed by someone else while this run goes on
            temp_.Write(RunStateKey(id), kFailedSection, c.result ? "06:00 08:00" : "06:00");
        };
        result_ = c.result;
        Worker worker = FakeWorker();
        ASSERT_TRUE(worker.Step());
        EXPECT_EQ(State(kSucceededSection, id), c.succeeded) << c.result;
        EXPECT_EQ(State(kFailedSection, id), c.result ? "06:00" : c.failed) << c.result;
        EXPECT_EQ(State(kRunningSection, id), "05:00") << c.result;
    }
}

TEST_F(WorkerTest, ARunThatEndsAfterMidnightOnlyRemovesItsRunningMark) {
    struct Case {
        std::string what;
        bool resetDuringRun;
        bool result;
    };
    const Case cases[] = {
        {"succeeded, no pass since midnight", false, true},
        {"failed, no pass since midnight", false, false},
        {"succeeded after the daily reset", true, true},
    };
    int id = 10;  // a time of a task starts once a day
    for (const Case& c : cases) {
        ++id;
        SetNow(2024, 3, 4, 23, 59, 10);
        for (const char* section : {kSucceededSection, kFailedSection, kRunningSection}) {
            temp_.Write("", section, "");
        }
        ResetDailySections();
        temp_.Write(RunStateKey(9), kRunningSection, "23:58");
        ASSERT_TRUE(queue_.Enqueue(Queued(id, "23:59"), zov::Now()));
        result_ = c.result;
        hook_ = [&] {
            SetNow(2024, 3, 5, 0, 0, 30);
            if (c.resetDuringRun) ResetDailySections();
        };
        Worker worker = FakeWorker();
        ASSERT_TRUE(worker.Step()) << c.what;
        EXPECT_EQ(State(kRunningSection, id), "") << c.what;
        EXPECT_EQ(State(kSucceededSection, id), "") << c.what;
        EXPECT_EQ(State(kFailedSection, id), "") << c.what;
        EXPECT_EQ(State(kRunningSection, 9), c.resetDuringRun ? "" : "23:58") << c.what;
        EXPECT_EQ(temp_.Read("DAY", kSucceededSection), c.resetDuringRun ? "20240305" : "20240304") << c.what;
    }
}

TEST_F(WorkerTest, AFailedRunThatEndsAfterAStopRequestIsLeftRunning) {
    for (const bool result : {true, false}) {
        const int id = result ? 6 : 7;
        ASSERT_TRUE(queue_.Enqueue(Queued(id, "08:00"), zov::Now()));
        std::stop_source stop;
        result_ = result;
        hook_ = [&] { stop.request_stop(); };
        ASSERT_TRUE(FakeWorker().Step(stop.get_token()));
        EXPECT_EQ(State(kRunningSection, id), result ? "" : "08:00") << result;
        EXPECT_EQ(State(kSucceededSection, id), result ? "08:00" : "") << result;
        EXPECT_EQ(State(kFailedSection, id), "") << result;
    }
}

TEST_F(WorkerTest, EveryRunReadsTheArchiverPathAnew) {
    for (const char* name : {"rar-one", "rar-two"}) {
        test::WriteFile(program_ / name, "");
        temp_.Write("rar_path", "SYSTEM", program_ / name);
        ASSERT_TRUE(queue_.Enqueue(Queued(name[4] == 'o' ? 1 : 2, "08:00"), zov::Now()));
        ASSERT_TRUE(FakeWorker().Step());
    }
    EXPECT_EQ(rarPaths_, (std::vector<std::string>{program_ / "rar-one", program_ / "rar-two"}));
}

TEST_F(WorkerTest, RealRunsOfEveryKind) {
    struct Case {
        std::string what;
        int flags;
        int sqlType;
        bool succeeded;
        std::string logFile, message;
        std::string rarPath = "";  // temp.ini [SYSTEM] "rar_path"
    };
    // An archiver another user may change is not run with the archive password.
    const std::string theirs = program_ / "theirs/rar";
    test::WriteFile(theirs, "#!/bin/sh\ntouch " + (program_ / "ran") + "\n");
    ASSERT_EQ(chmod(theirs.c_str(), 0755), 0);
    ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
    const Case cases[] = {
        {"copy task", 0x05, kSqlServer, true, "Files", ""},
        {"compressed task without an archiver", 0x07, kSqlServer, false, "Files",
         "选择了使用winrar压缩，但是未指定winrar路径"},
        {"compressed task with another user's archiver", 0x07, kSqlServer, false, "Files",
         "使用winrar压缩时，rar.exe文件路径" + theirs + "无效：它不是只有root能修改的可执行文件", theirs},
        {"SQL Server task", 0x06, kSqlServer, false, "", "\t备份数据库时，"},
        {"MySQL task without its server", 0x06, kMySql, false, "MySQL", "获取data目录失败。"},
    };
    fs::create_directories(program_ / "bak");
    CBackup backup;
    Worker worker(queue_, BackupTaskRun(backup));
    int id = 0;
    for (const Case& c : cases) {
        TaskInfo task = Queued(++id, "08:00");
        task.flags = c.flags;
        task.sqlType = c.sqlType;
        task.database = "sales";
        temp_.Write("rar_path", "SYSTEM", c.rarPath);
        ASSERT_TRUE(queue_.Enqueue(task, zov::Now())) << c.what;
        ASSERT_TRUE(worker.Step()) << c.what;
        EXPECT_EQ(State(c.succeeded ? kSucceededSection : kFailedSection, id), "08:00") << c.what;
        EXPECT_EQ(State(c.succeeded ? kFailedSection : kSucceededSection, id), "") << c.what;
        EXPECT_EQ(State(kRunningSection, id), "") << c.what;
        if (c.logFile.empty()) {
            // A run that fails before its databases are listed writes no record, only the system log.
            EXPECT_NE(test::ReadFile(program_ / "Log/Files/system.log").find(c.message), std::string::npos)
                << c.what;
            continue;
        }
        const std::string log = test::ReadFile(program_ / ("Log/" + c.logFile + "/2024-03-04.log"));
        const std::string row = "\t" + std::to_string(id) + "\t任务" + std::to_string(id) + "\t";
        const std::size_t at = log.find(row);
        ASSERT_NE(at, std::string::npos) << c.what;
        const std::string line = log.substr(at, log.find('\n', at) - at);
        EXPECT_NE(line.find(std::string(c.succeeded ? "\t成功\t" : "\t失败\t") + c.message),
                  std::string::npos)
            << c.what << ": " << line;
    }
    EXPECT_TRUE(fs::exists(program_ / "bak/1/2024-03-04/src_20240304080005/src/a.txt"));
    EXPECT_FALSE(fs::exists(program_ / "ran"));
}

// Each run is a job of the worker: the worker's stop cuts it short, nobody answers its questions, and its
// status lines reach the status socket as the service has always sent them.
TEST_F(WorkerTest, EachRunIsAJobWithTheWorkersStopAndTheStatusSocket) {
    MailslotReader status(program_.path(), "StateLog");
    ASSERT_TRUE(status.bound());
    std::stop_source stop;
    bool workersStop = false;
    PasswordAnswer answer;
    bool yes = true;
    Worker fake(queue_, [&](const TaskInfo&, const std::string&, std::string&, const JobContext& job) {
        workersStop = job.stop == stop.get_token();
        answer = job.asker.AskPassword("密码");
        yes = job.asker.AskYesNo("是否继续？", "提示");
        return true;
    });
    ASSERT_TRUE(queue_.Enqueue(Queued(1, "08:00"), zov::Now()));
    ASSERT_TRUE(fake.Step(stop.get_token()));
    EXPECT_TRUE(workersStop);
    EXPECT_TRUE(answer.cancelled);
    EXPECT_FALSE(yes);

    fs::create_directories(program_ / "bak");
    CBackup backup;
    Worker worker(queue_, BackupTaskRun(backup));
    ASSERT_TRUE(queue_.Enqueue(Queued(2, "08:00"), zov::Now()));
    ASSERT_TRUE(worker.Step());
    const std::string set = program_ / "bak/2/2024-03-04/src_20240304080005/";
    ASSERT_TRUE(fs::exists(set + "src/a.txt"));
    EXPECT_EQ(status.Receive(std::chrono::seconds(2)),
              "[文件备份]复制文件[" + program_ / "src/" + "]至[" + set + "]" + '\0');
    EXPECT_EQ(status.Receive(std::chrono::seconds(2)), "");
}

TEST_F(WorkerTest, ThreadLoopsEndPromptlyOnAStop) {
    SetClock(nullptr);
    SharedTaskStore store(TaskDbPath());
    Scheduler scheduler(queue_, store);
    ExpiredBackups expiry(store);
    Worker worker = FakeWorker();
    std::vector<std::jthread> threads;
    threads.emplace_back([&](std::stop_token stop) { worker.Run(stop); });
    threads.emplace_back([&](std::stop_token stop) { scheduler.Run(stop); });
    threads.emplace_back([&](std::stop_token stop) { expiry.Run(stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    threads.clear();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    SetClock(&zone_.clock());
}

// An idle worker sleeps until an entry is queued, and takes it then.
TEST_F(WorkerTest, AnIdleWorkerWakesForAQueuedEntry) {
    std::atomic<int> runs{0};
    hook_ = [&runs] { ++runs; };
    Worker worker = FakeWorker();
    std::jthread thread([&worker](std::stop_token stop) { worker.Run(stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(runs, 0);
    ASSERT_TRUE(queue_.Enqueue(Queued(1, "08:00"), zov::Now()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (runs == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    thread.request_stop();
    thread.join();
    EXPECT_EQ(ran_, std::vector<int>{1});
}

TEST_F(WorkerTest, RunLoopStepsOncePerSecond) {
    test::StoppingClock clock(zov::Now(), std::chrono::milliseconds(2500));
    SetClock(&clock);
    for (int id : {1, 2, 3, 4}) ASSERT_TRUE(queue_.Enqueue(Queued(id, "08:00"), zov::Now()));
    FakeWorker().Run(clock.token());
    SetClock(&zone_.clock());
    EXPECT_EQ(ran_, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace zov
