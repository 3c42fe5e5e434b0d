#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>

#include "ServiceTestSupport.h"
#include "engine/backup/Backup.h"
#include "engine/control/ServiceCtrl.h"
#include "engine/files/BackupNames.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/QelXml.h"
#include "engine/tasks/RunStart.h"
#include "gui/shell/ServiceRepair.h"
#include "gui/shell/StartupSplash.h"
#include "platform/ProcessRunner.h"
#include "platform/ProgramDir.h"
#include "support/GuiTestSupport.h"
#include "support/ManualClock.h"
#include "support/RecordingPrompter.h"

using zov::gui::CStartupDlg;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::SaveScreenshot;

namespace {

enum class ServiceSetUp { Running, Stopped, NotInstalled, ProgramMissing };

// What one run of the splash showed.
struct SplashRun {
    CStartupDlg::Outcome outcome = CStartupDlg::Outcome::Running;
    QStringList statuses;
    QList<int> progress;
    QStringList boxes;
    qint64 elapsedMs = 0;
};

SplashRun RunSplash(
    CStartupDlg::Loader loader = [] { return true; }, const QString& screenshot = {}) {
    SplashRun run;
    RecordingPrompter prompter;
    CStartupDlg splash(nullptr, std::move(loader));
    QObject::connect(&splash, &CStartupDlg::statusShown, [&](const QString& text) {
        run.statuses.append(text);
        if (text == "正在启动(60%)..." && !screenshot.isEmpty()) SaveScreenshot(splash, screenshot);
    });
    QObject::connect(splash.findChild<QProgressBar*>("progress"), &QProgressBar::valueChanged,
                     [&](int value) { run.progress.append(value); });
    QElapsedTimer timer;
    timer.start();
    run.outcome = splash.Run();
    run.elapsedMs = timer.elapsed();
    run.boxes = prompter.Texts();
    return run;
}

QStringList Starting(std::initializer_list<int> percents) {
    QStringList texts;
    for (int percent : percents) texts.append(QString("正在启动(%1%)...").arg(percent));
    return texts;
}

void PrepareService(zov::test::ServiceTestFolder& folder, ServiceSetUp setUp) {
    if (setUp == ServiceSetUp::ProgramMissing) return;
    const std::string program = folder.InstallServiceProgram();
    if (setUp == ServiceSetUp::NotInstalled) return;
    zov::ProcessOptions options;
    options.timeout = std::chrono::seconds(60);
    QVERIFY(zov::RunProcess({program, "-install"}, options).Succeeded());
    QVERIFY(zov::test::WaitUntil([] { return zov::GetServiceState(zov::kBackupServiceName) == 4; }));
    if (setUp == ServiceSetUp::Stopped) QCOMPARE(zov::StopServiceWait(zov::kBackupServiceName), 1);
}

}  // namespace

class StartupSplashTest : public QObject {
    Q_OBJECT

  private slots:
    void ChecksAndRepairsTheService_data() {
        QTest::addColumn<int>("setUp");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QList<int>>("progress");
        QTest::addColumn<int>("finalState");
        const QList<int> allProgress{10, 20, 40, 50, 60, 80, 90, 100};
        QTest::newRow("running") << int(ServiceSetUp::Running) << Starting({0, 40, 60, 70, 99}) << allProgress
                                 << 4;
        QTest::newRow("stopped") << int(ServiceSetUp::Stopped)
                                 << (Starting({0}) << "正在修复(20%)..." << Starting({30, 40, 60, 70, 99}))
                                 << allProgress << 4;
        QTest::newRow("not installed")
            << int(ServiceSetUp::NotInstalled)
            << (Starting({0}) << "正在修复(20%)..." << Starting({30, 40, 60, 70, 99})) << allProgress << 4;
    }
    void ChecksAndRepairsTheService() {
        QFETCH(int, setUp);
        QFETCH(QStringList, statuses);
        QFETCH(QList<int>, progress);
        QFETCH(int, finalState);
        zov::test::ServiceTestFolder folder;
        PrepareService(folder, ServiceSetUp(setUp));
        const SplashRun run =
            RunSplash([] { return true; }, QString("splash-%1").arg(QTest::currentDataTag()));
        QCOMPARE(run.outcome, CStartupDlg::Outcome::Done);
        QCOMPARE(run.statuses, statuses);
        QCOMPARE(run.progress, progress);
        QCOMPARE(run.boxes, QStringList());
        QCOMPARE(zov::GetServiceState(zov::kBackupServiceName), finalState);
    }

    void AMissingServiceProgramIsReportedAndTheStartGoesOn() {
        zov::test::ServiceTestFolder folder;
        const SplashRun run = RunSplash();
        const QString why =
            QString("服务文件 %1 不存在，无法进行修复").arg(QString::fromStdString(folder / "zovsvc"));
        QCOMPARE(run.outcome, CStartupDlg::Outcome::Done);
        QCOMPARE(run.statuses, Starting({0}) << "正在修复(20%)..." << why + "。修复失败，无法自动备份"
                                             << Starting({40, 60, 70, 99}));
        QCOMPARE(run.boxes, QStringList{"服务修复失败：" + why + "。自动备份功能未启动"});
    }

    void InstallTimeIsWrittenOnce() {
        zov::test::ServiceTestFolder folder;
        zov::ManualClock clock(zov::MakeLocalTime(2026, 3, 4, 5, 6, 7));
        zov::SetClock(&clock);
        const zov::IniFile config(zov::ConfigIniPath());
        RunSplash();
        QCOMPARE(config.Read("install_time", "QEL"), std::string("2026-03-04 05:06:07"));
        QCOMPARE(config.Read("name", "QEL"), std::string("StowmeranV3.5"));
        config.Write("name", "QEL", "old");
        clock.Set(zov::MakeLocalTime(2027, 1, 1));
        RunSplash();
        zov::SetClock(nullptr);
        QCOMPARE(config.Read("install_time", "QEL"), std::string("2026-03-04 05:06:07"));
        QCOMPARE(config.Read("name", "QEL"), std::string("StowmeranV3.5"));
    }

    // A load that fails ends the splash at once with its two boxes.
    void ARefusedLoadEndsTheSplashAtOnce() {
        zov::test::ServiceTestFolder folder;
        const SplashRun run = RunSplash([] { return false; });
        QCOMPARE(run.outcome, CStartupDlg::Outcome::LoadFailed);
        QCOMPARE(
            run.boxes,
            QStringList({"服务修复失败：服务文件 " + QString::fromStdString(folder / "zovsvc") +
                             " 不存在，无法进行修复。自动备份功能未启动",
                         "程序初始化出错，无法读取配置文件", "初始化失败：读取任务文件超时，程序即将退出"}));
        QCOMPARE(run.statuses.last(), QString("初始化失败！"));
        QVERIFY2(run.elapsedMs < 3000, qPrintable(QString::number(run.elapsedMs)));
    }

    // The wait for the load has one bound (250 polls of 40 ms on the clock), then the time-out box.
    void AHangingLoadTimesOut() {
        zov::test::ServiceTestFolder folder;
        zov::ManualClock clock(zov::MakeLocalTime(2026, 3, 4));
        zov::SetClock(&clock);
        std::atomic<bool> release{false};
        std::atomic<bool> loaded{false};
        SplashRun run;
        {
            RecordingPrompter prompter;
            CStartupDlg splash(nullptr, [&] {
                while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                loaded = true;
                return true;
            });
            const std::time_t before = clock.Now();
            run.outcome = splash.Run();
            QVERIFY(clock.Now() - before >= 10);
            QCOMPARE(prompter.Texts().last(), QString("初始化失败：读取任务文件超时，程序即将退出"));
            release = true;
        }
        zov::SetClock(nullptr);
        QCOMPARE(run.outcome, CStartupDlg::Outcome::TimedOut);
        QVERIFY(loaded);
    }

    // A run at once whose program ended (its lock gone with it, its mark and work folder left) is filed as
    // interrupted when the next program starts.
    void AHandRunLeftByAnEndedProgramIsFiled() {
        zov::test::ServiceTestFolder folder;
        QVERIFY(zov::PrivateRunFolder(folder.path()));
        zov::TaskInfo task;
        task.name = "docs";
        task.flags = zov::kTaskFile;
        task.source = folder / "src/";
        task.dest = folder / "bak/";
        zov::CQelXML store;
        store.SetFilePath(zov::TaskDbPath());
        store.Load();
        QVERIFY(store.ChangeTask(zov::kChangeAdd, task, true, false));
        const std::time_t now = zov::Now();
        const std::string work = zov::DatedFolder(task.dest, now) +
                                 zov::PartialSetName(zov::FormatLocalTime(now, zov::kStampFormat), task.id);
        {
            zov::HandRun run(task, now);
            QCOMPARE(run.state(), zov::RunStart::Started);
            std::filesystem::create_directories(work);
        }
        RunSplash();
        const zov::IniFile temp(zov::TempIniPath());
        QCOMPARE(temp.Read(std::to_string(task.id), zov::kTempTasksSection),
                 std::string(zov::kHandRunFailed));
        QVERIFY(!std::filesystem::exists(work));
        const std::string log =
            zov::test::ReadFile(folder / ("Log/Files/" + zov::FormatLocalTime(now, "%Y-%m-%d") + ".log"));
        QVERIFY2(log.find("\t失败\t备份被中断") != std::string::npos, log.c_str());
        QCOMPARE(zov::HandRun(task, now).state(), zov::RunStart::Started);
    }

    void EnterAndEscapeDoNotEndTheSplash() {
        zov::test::ServiceTestFolder folder;
        std::atomic<bool> release{false};
        RecordingPrompter prompter;
        CStartupDlg splash(nullptr, [&] {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return true;
        });
        QTimer::singleShot(800, &splash, [&] {
            for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(&splash, Qt::Key(key));
            splash.close();
            QVERIFY(splash.isVisible());
            release = true;
        });
        QCOMPARE(splash.Run(), CStartupDlg::Outcome::Done);
    }
};

QTEST_MAIN(StartupSplashTest)
#include "StartupSplashTest.moc"
