#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <sstream>

#include "ServiceTestSupport.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "gui/pages/FileBackupDlg.h"
#include "gui/pages/FileBackupListDlg.h"
#include "gui/widgets/MyButton.h"
#include "platform/Clock.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerLocal.h"
#include "support/RecordingPrompter.h"
#include "support/ScheduleMinute.h"
#include "support/TaskStoreFiles.h"

using namespace zov::gui;
using zov::IniFile;
using zov::TaskInfo;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::StoreRecords;
using zov::gui::test::TaskRecord;

namespace {

namespace fs = std::filesystem;

constexpr const char* kServiceName = "ZovSvcx";
constexpr int kId = 4;
// Longer than a pass of the service's scheduler.
constexpr int kSchedulerPassMs = 12000;

// The real service and the file page in one program folder, with a task due this minute whose archiver
// takes 3 s, so that a run of it is still going when the other side tries to start it.
struct Fixture {
    zov::test::ServiceTestFolder folder;
    RecordingPrompter prompter;
    zov::LocalServiceManager manager{folder.recordFolder()};
    std::string program = folder.InstallServiceProgram();
    TaskInfo task;

    Fixture() {
        fs::copy_file(zov::test::BuiltProgram("rar"), folder / "rar.real");
        folder.WriteScript("rar", "sleep 3\nexec \"" + (folder / "rar.real") + "\" \"$@\"\n");
        zov::test::WriteFile(folder / "src/a.txt", "alpha");
        fs::create_directories(folder / "bak");
        task = zov::gui::test::FileTask(folder.path(), kId, "docs");
        task.flags |= zov::kTaskCompress;
        task.times = zov::FormatLocalTime(zov::test::ScheduleMinute(), "%H:%M");
        // Today's run-state sections, as the management program's start leaves them.
        for (const char* section :
             {zov::kSucceededSection, zov::kFailedSection, zov::kRunningSection, zov::kTempTasksSection}) {
            IniFile(zov::TempIniPath()).ResetDailySection(section);
        }
    }
    ~Fixture() {
        manager.Stop(kServiceName);
        zov::test::WaitUntil([&] { return manager.GetState(kServiceName) == zov::kServiceStopped; });
        manager.Remove(kServiceName);
    }
    bool StartService() {
        zov::ServiceConfig config;
        config.name = kServiceName;
        config.displayName = kServiceName;
        config.command = {program};
        return manager.Install(config) && manager.Start(kServiceName) &&
               zov::test::WaitUntil([&] { return manager.GetState(kServiceName) == zov::kServiceRunning; });
    }
    std::string State(const char* section, const std::string& key) const {
        return IniFile(zov::TempIniPath()).Read(key, section);
    }
    // The file log records of the task.
    long Records() const {
        std::istringstream text(zov::test::ReadFile(
            folder / ("Log/Files/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d") + ".log")));
        long records = 0;
        for (std::string line; std::getline(text, line);) {
            if (line.find("\t" + std::to_string(kId) + "\tdocs\t") != std::string::npos) ++records;
        }
        return records;
    }
    long Archives() const {
        long archives = 0;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(task.dest, error)) {
            if (entry.path().extension() == ".rar") ++archives;
        }
        return archives;
    }
};

void ClickRunNow(CFileBackupDlg& page) {
    CFileBackupListDlg& list = *page.listPage();
    list.list()->setCurrentItem(list.list()->topLevelItem(0));
    QTest::mouseClick(list.runButton(), Qt::LeftButton);
}

}  // namespace

class RunNowServiceTest : public QObject {
    Q_OBJECT

  private slots:
    // A click and the service start the task in the same minute: it runs once, whichever comes first.
    void AClickAndTheServiceRunTheTaskOnce_data() {
        QTest::addColumn<bool>("clickFirst");
        QTest::newRow("click first") << true;
        QTest::newRow("service first") << false;
    }
    void AClickAndTheServiceRunTheTaskOnce() {
        QFETCH(bool, clickFirst);
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.task)}));
        CFileBackupDlg page(nullptr);
        const std::string key = zov::RunStateKey(kId);
        if (clickFirst) {
            ClickRunNow(page);
            QTRY_COMPARE(f.State(zov::kTempTasksSection, std::to_string(kId)), std::string("RUNNING"));
            QVERIFY(f.StartService());
            QTRY_COMPARE_WITH_TIMEOUT(f.prompter.Texts(), QStringList{"任务 docs 执行成功"}, 20000);
        } else {
            QVERIFY(f.StartService());
            QTRY_COMPARE_WITH_TIMEOUT(f.State(zov::kRunningSection, key), f.task.times, 20000);
            ClickRunNow(page);
            QTRY_COMPARE_WITH_TIMEOUT(f.prompter.Texts(),
                                      QStringList{"该任务正在运行，需执行结束后才能再次运行。"}, 10000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(f.State(zov::kSucceededSection, key), f.task.times, 20000);
        QTest::qWait(kSchedulerPassMs);
        QCOMPARE(f.Records(), 1L);
        QCOMPARE(f.Archives(), 1L);
        QCOMPARE(f.State(zov::kRunningSection, key), std::string());
    }
};

QTEST_MAIN(RunNowServiceTest)
#include "RunNowServiceTest.moc"
