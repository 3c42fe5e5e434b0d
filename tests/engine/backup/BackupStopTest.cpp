#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "BackupTestSupport.h"
#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/logs/QelLog.h"

// Runs cut short through their own stop, beside runs that go on.
namespace zov {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kCopy = kTaskFile | kTaskScheduled;
constexpr int kArchive = kTaskFile | kTaskCompress | kTaskScheduled;

// The pid a script wrote to path as a whole line, once it is there; 0 after 20 s.
pid_t WrittenPid(const std::string& path) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < end) {
        const std::string text = test::ReadFile(path);
        if (text.ends_with("\n")) return std::stoi(text);
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

// True once the process is gone or a zombie; false after 2 s.
bool BecomesGone(pid_t pid) {
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < end) {
        const std::string stat = test::ReadFile("/proc/" + std::to_string(pid) + "/stat");
        const std::size_t close = stat.rfind(')');
        if (stat.empty() || (close != std::string::npos && stat.compare(close + 2, 1, "Z") == 0)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Requests the job's stop with its first status line, as the job starts to write.
class StoppingStatus : public StatusSink {
  public:
    explicit StoppingStatus(std::stop_source& stop) : stop_(stop) {}
    void Status(const std::string&) override { stop_.request_stop(); }
    void EndStatus() override {}

  private:
    std::stop_source& stop_;
};

class BackupStopTest : public test::BackupTest {
  protected:
    std::string Script(const std::string& name, const std::string& body) const {
        const std::string path = program_ / name;
        test::WriteFile(path, "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
        return path;
    }
};

// Two compressed runs share the backup object; the stop of the first ends its archiver (and that
// archiver's child) and leaves the second, whose archiver waits for "go" meanwhile, to finish.
TEST_F(BackupStopTest, AStoppedRunEndsItsArchiverAndTheOtherRunCompletes) {
    const std::string slow =
        Script("slow-rar", "sleep 30 &\necho $! > '" + program_ / "sleeper.pid" + "'\necho $$ > '" +
                               program_ / "archiver.pid" + "'\nwait\n");
    const std::string waiting = Script(
        "waiting-rar", "echo $$ > '" + program_ / "waiting.pid" + "'\nwhile [ ! -e '" + program_ / "go" +
                           "' ]; do sleep 0.05; done\nexec '" + test::BuiltProgram("rar") + "' \"$@\"\n");
    TaskInfo other = Task(kArchive);
    other.id = 13;
    other.source = program_ / "other/Docs/";
    test::WriteFile(other.source + "d.txt", "delta");

    test::RecordingJob stopped;
    test::RecordingJob going;
    int stoppedResult = -1;
    int goingResult = -1;
    std::string goingMessage;
    std::chrono::steady_clock::time_point returned;
    std::thread first([&] {
        std::string message;
        stoppedResult = backup_.RunFileTask(Task(kArchive), slow, message, stopped.Context());
        returned = std::chrono::steady_clock::now();
    });
    std::thread second(
        [&] { goingResult = backup_.RunFileTask(other, waiting, goingMessage, going.Context()); });
    const pid_t archiver = WrittenPid(program_ / "archiver.pid");
    const pid_t sleeper = WrittenPid(program_ / "sleeper.pid");
    const pid_t waitingPid = WrittenPid(program_ / "waiting.pid");
    const auto stop = std::chrono::steady_clock::now();
    stopped.stop.request_stop();
    first.join();
    EXPECT_FALSE(BecomesGone(waitingPid)) << "the other run's archiver is left alone";
    test::WriteFile(program_ / "go", "");
    second.join();

    EXPECT_LT(returned - stop, 1s);
    ASSERT_GT(archiver, 0);
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(BecomesGone(archiver));
    EXPECT_TRUE(BecomesGone(sleeper));
    EXPECT_EQ(stoppedResult, 0);
    EXPECT_EQ(CurrentTask(), "2024-03-05 14:07:09") << "left for the recovery at the next start";

    EXPECT_EQ(goingResult, 1) << goingMessage;
    EXPECT_EQ(IniFile(TempIniPath()).Read("13", kCurrentTaskSection), "");
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u) << "no record of the stopped run";
    EXPECT_EQ(lines[0][2], "13");
    EXPECT_EQ(lines[0][8], kLogSucceeded);
    ASSERT_EQ(CZipOperator(test::BuiltProgram("rar"))
                  .ExtractFile(Dated() + "Docs_" + test::kStamp + ".rar", program_ / "out", ""),
              0);
    EXPECT_EQ(test::ReadTree(program_ / "out/Docs"),
              (std::map<std::string, std::string>{{"d.txt", "delta"}}));

    for (test::RecordingJob* job : {&stopped, &going}) {
        ASSERT_EQ(job->status.Lines().size(), 2u);
        EXPECT_TRUE(job->status.Lines()[0].starts_with("[文件备份]压缩文件夹["));
        EXPECT_EQ(job->status.Lines()[1], test::RecordingStatus::kEnd);
    }
}

// A stop before the copy's first file: nothing is copied, nothing recorded, the entry left for the
// recovery, which then removes the unfinished set.
TEST_F(BackupStopTest, AStoppedCopyEndsBeforeItsNextFile) {
    std::stop_source stop;
    StoppingStatus status(stop);
    std::string message;
    EXPECT_EQ(backup_.RunFileTask(Task(kCopy), "", message, {status, job_.asker, stop.get_token()}), 0);
    EXPECT_EQ(test::ReadTree(Dated()), (std::map<std::string, std::string>{}));
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(CurrentTask(), "2024-03-05 14:07:09");

    backup_.RecordInterruptedRun(Task(kCopy), MakeLocalTime(2024, 3, 5, 14, 7, 9));
    EXPECT_TRUE(test::Names(Dated()).empty());
    ASSERT_EQ(LogLines().size(), 1u);
    EXPECT_EQ(LogLines()[0][8], kLogFailed);
}

}  // namespace
}  // namespace zov
