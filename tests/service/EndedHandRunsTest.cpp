#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "SchedulerTestSupport.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "engine/tasks/RunStart.h"
#include "platform/ProgramDir.h"
#include "service/InterruptedRuns.h"
#include "support/HandRunProcess.h"

namespace zov {
namespace {

namespace fs = std::filesystem;

constexpr int kId = 5;

class EndedHandRunsTest : public test::RunStateTest {
  protected:
    EndedHandRunsTest() { EXPECT_TRUE(PrivateRunFolder(program_.path())); }

    std::string Mark() const { return temp_.Read(std::to_string(kId), kTempTasksSection); }

    // The records of today's file log.
    std::vector<std::string> Records() const {
        std::vector<std::string> records;
        const std::string text = test::ReadFile(program_ / "Log/Files/2024-03-04.log");
        for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
            records.push_back(text.substr(at, end - at));
        }
        return records;
    }
};

// A run at once killed in the minute it took over is filed as interrupted at the next start of the service
// or of the management program; a live one is left alone.
TEST_F(EndedHandRunsTest, AKilledHandRunIsFiledAsInterruptedAtTheNextStart) {
    const struct {
        const char* what;
        std::function<void()> start;
    } starts[] = {
        {"service start", [] { RecoverInterruptedRuns({}); }},
        {"program start", [] { CBackup().RecoverEndedHandRuns(); }},
    };
    const TaskInfo task = test::ScheduledTask(program_, kId, "08:00");
    test::WriteTaskStore({test::TaskRecord(task)});
    const std::time_t now = Now();
    // The job names its work folder by its own start, a moment after the mark.
    const std::string work =
        DatedFolder(task.dest, now) + PartialSetName(FormatLocalTime(now + 1, kStampFormat), kId);
    for (const auto& s : starts) {
        for (const char* section : {kRunningSection, kSucceededSection, kFailedSection, kTempTasksSection}) {
            temp_.Write("", section, "");
        }
        ResetDailySections();
        fs::remove_all(program_ / "Log/Files");
        fs::remove_all(task.dest);

        test::HandRunProcess child(task, now, work);
        ASSERT_TRUE(child.begun()) << s.what;
        EXPECT_EQ(State(kRunningSection, kId), "08:00") << s.what << ": not a success before its end";
        EXPECT_EQ(State(kSucceededSection, kId), "") << s.what;
        EXPECT_EQ(StartScheduledRun(kId, "08:00"), RunStart::Busy) << s.what << ": the service waits";

        s.start();
        EXPECT_EQ(Mark(), kHandRunMark) << s.what << ": a live run is left alone";
        EXPECT_EQ(State(kRunningSection, kId), "08:00") << s.what;
        EXPECT_TRUE(fs::exists(work)) << s.what;
        EXPECT_TRUE(Records().empty()) << s.what;
        EXPECT_EQ(HandRun(task, now).state(), RunStart::Busy) << s.what;

        child.Kill();
        s.start();
        const std::vector<std::string> records = Records();
        ASSERT_EQ(records.size(), 1u) << s.what;
        EXPECT_NE(records[0].find("\t失败\t备份被中断（服务停止或进程被终止），未完成的备份已删除"),
                  std::string::npos)
            << s.what << ": " << records[0];
        EXPECT_EQ(State(kFailedSection, kId), "08:00") << s.what;
        EXPECT_EQ(State(kSucceededSection, kId), "") << s.what;
        EXPECT_EQ(State(kRunningSection, kId), "") << s.what;
        EXPECT_FALSE(fs::exists(work)) << s.what;
        EXPECT_FALSE(IsHandRunMark(Mark())) << s.what;
        EXPECT_NE(
            test::ReadFile(program_ / "Log/Files/system.log").find("（ID 5）的立即备份被中断，记为失败"),
            std::string::npos)
            << s.what;

        s.start();
        EXPECT_EQ(Records().size(), 1u) << s.what << ": filed once";
        HandRun again(task, now);
        EXPECT_EQ(again.state(), RunStart::Started) << s.what << ": a new run at once is taken";
        EXPECT_TRUE(again.Finish(true));
        EXPECT_EQ(State(kFailedSection, kId), "08:00") << s.what << ": the failed time stays failed";
    }
}

}  // namespace
}  // namespace zov
