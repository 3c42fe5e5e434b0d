#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "gui/app/MainWindow.h"
#include "gui/restore/RestoreEngine.h"
#include "gui/shell/AboutDialog.h"
#include "gui/shell/SingleInstance.h"
#include "gui/shell/TaskStore.h"
#include "gui/widgets/ButtonST.h"
#include "platform/Clock.h"
#include "support/DatabasePageFolder.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"
#include "support/RecordingShell.h"

using zov::IniFile;
using zov::gui::CButtonST;
using zov::gui::CStowmeranDlg;
using zov::gui::test::ForcedServiceBackend;
using zov::gui::test::ReadFile;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::TempProgramFolder;
using zov::gui::test::WriteFile;

namespace {

constexpr int kWaitMs = 10000;
const QString kRarWarning =
    "未获取到 rar.exe 安装路径，无法执行压缩任务。\n\n点击“确定”前往下载rar.exe并放到：";

void InstallArchiver(const TempProgramFolder& folder) {
    WriteFile(folder / "rar", "#!/bin/sh\n");
    std::filesystem::permissions(folder / "rar", std::filesystem::perms::owner_all);
}

CButtonST* Tab(CStowmeranDlg& window, const char* name) { return window.findChild<CButtonST*>(name); }

// Starts the built program on the folder as a second start and waits for its end while this process
// answers; its exit status, or -2 when it did not end in time.
int RunSecondStart(const TempProgramFolder& folder) {
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZOV_PROGRAM_DIR", QString::fromStdString(folder.path()));
    environment.insert("ZOV_TEST_PROMPTER", "auto");
    environment.insert("ZOV_SERVICE_BACKEND", "local");
    second.setProcessEnvironment(environment);
    second.start(zov::gui::test::BuiltProgram("stowmeran"), {});
    if (!second.waitForStarted(kWaitMs)) return -3;
    QElapsedTimer timer;
    timer.start();
    while (second.state() != QProcess::NotRunning && timer.elapsed() < kWaitMs) QTest::qWait(20);
    if (second.state() != QProcess::NotRunning) {
        second.kill();
        second.waitForFinished();
        return -2;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void StartUpPreparesTheProgramFolder() {
        TempProgramFolder folder;
        InstallArchiver(folder);
        RecordingPrompter prompter;
        CStowmeranDlg window;
        const IniFile temp(zov::TempIniPath());
        QVERIFY(temp.Read("Path", "CACHE").starts_with(folder / "cache"));
        QCOMPARE(temp.Read("rar_path", "SYSTEM"), folder / "rar");
        QCOMPARE(temp.Read("DAY", "SUCCEED"), zov::FormatLocalTime(zov::Now(), "%Y%m%d"));
        QCOMPARE(IniFile(zov::ConfigIniPath()).Read("SetupFlag", "QEL"), std::string("1"));
        for (const char* log : {"Log/Files", "Log/MySQL", "Log/SQL Server", "Log/UI"})
            QVERIFY2(std::filesystem::is_directory(folder / log), log);
        QCOMPARE(prompter.Texts(), QStringList());
        QCOMPARE(window.windowTitle(), QString("StowmeranV3.5"));
    }

    void TabsSwitchThePages_data() {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<int>("page");
        QTest::newRow("files") << "filesTab" << int(CStowmeranDlg::Page::Files);
        QTest::newRow("sql-server") << "sqlServerTab" << int(CStowmeranDlg::Page::SqlServer);
        QTest::newRow("mysql") << "mySqlTab" << int(CStowmeranDlg::Page::MySql);
        QTest::newRow("settings") << "settingsTab" << int(CStowmeranDlg::Page::Settings);
    }
    void TabsSwitchThePages() {
        QFETCH(QString, tab);
        QFETCH(int, page);
        TempProgramFolder folder;
        InstallArchiver(folder);
        ForcedServiceBackend services(true, folder.path());
        zov::gui::test::RegisterService("mariadb", {"/usr/sbin/mariadbd"});
        RecordingPrompter prompter;
        CStowmeranDlg window;
        window.show();
        if (page == int(CStowmeranDlg::Page::Settings))
            QTest::mouseClick(Tab(window, "filesTab"), Qt::LeftButton);
        CButtonST* button = Tab(window, qPrintable(tab));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(int(window.currentPage()), page);
        for (int other = 0; other < 4; ++other)
            QCOMPARE(window.page(CStowmeranDlg::Page(other))->isVisible(), other == page);
        QVERIFY(button->font().weight() > QFont::Bold);
        for (CButtonST* other : window.findChildren<CButtonST*>()) {
            if (other != button) QCOMPARE(other->font().weight(), QFont::Normal);
        }
        QCOMPARE(prompter.Texts(), QStringList());
        SaveScreenshot(window, "main-window-" + QString(QTest::currentDataTag()));
    }

    // Without the archiver the database tabs are off; they come on within a second once it is there, the
    // MySQL tab only when a MySQL server was found.
    void DatabaseTabsWaitForTheArchiver_data() {
        QTest::addColumn<bool>("mySqlServer");
        QTest::newRow("with a MySQL server") << true;
        QTest::newRow("without a MySQL server") << false;
    }
    void DatabaseTabsWaitForTheArchiver() {
        QFETCH(bool, mySqlServer);
        TempProgramFolder folder;
        ForcedServiceBackend services(mySqlServer, folder.path());
        if (mySqlServer) zov::gui::test::RegisterService("mariadb", {"/usr/sbin/mariadbd"});
        RecordingPrompter prompter;
        zov::RecordingShell shell;
        zov::SetShell(&shell);
        CStowmeranDlg window;
        window.show();
        QCOMPARE(prompter.Texts(), QStringList{kRarWarning + QString::fromStdString(folder / "rar")});
        QVERIFY(!Tab(window, "sqlServerTab")->isEnabled());
        QVERIFY(!Tab(window, "mySqlTab")->isEnabled());
        QVERIFY(Tab(window, "filesTab")->isEnabled());
        InstallArchiver(folder);
        QTRY_VERIFY_WITH_TIMEOUT(Tab(window, "sqlServerTab")->isEnabled(), 3000);
        QCOMPARE(Tab(window, "mySqlTab")->isEnabled(), mySqlServer);
        QTest::mouseClick(Tab(window, "mySqlTab"), Qt::LeftButton);
        QCOMPARE(window.currentPage() == CStowmeranDlg::Page::MySql, mySqlServer);
        QCOMPARE(window.page(CStowmeranDlg::Page::MySql)->isVisible(), mySqlServer);
        zov::SetShell(nullptr);
        QVERIFY(shell.Opened().empty());  // no download page is set
    }

    void ADatabaseTabWithoutTheArchiverStaysOnThePage() {
        TempProgramFolder folder;
        InstallArchiver(folder);
        RecordingPrompter prompter;
        CStowmeranDlg window;
        window.show();
        std::filesystem::remove(folder / "rar");
        prompter.Script({zov::gui::Prompter::Answer::Cancel});
        QTest::mouseClick(Tab(window, "sqlServerTab"), Qt::LeftButton);
        QCOMPARE(prompter.Texts(), QStringList{kRarWarning + QString::fromStdString(folder / "rar")});
        QCOMPARE(window.currentPage(), CStowmeranDlg::Page::Settings);
    }

    void BannerRotatesItsEntries() {
        TempProgramFolder folder;
        InstallArchiver(folder);
        RecordingPrompter prompter;
        CStowmeranDlg window;
        const QString defaultText = window.bannerText();
        QVERIFY(!defaultText.isEmpty());

        QCOMPARE(window.SetBannerEntries("只有一条{*}1{*}http://a.example/one"), 1);
        for (int i = 0; i < 3; ++i) {
            window.RotateBanner();
            QCOMPARE(window.bannerText(), QString("只有一条"));
            QCOMPARE(window.bannerColor(), QColor(255, 0, 0));
            QCOMPARE(window.bannerLink(), QString("http://a.example/one"));
        }
        // An entry with an empty colour piece leaves the banner as it is.
        QCOMPARE(window.SetBannerEntries("缺少颜色的条目{*}{*}http://a.example/two"), 1);
        window.RotateBanner();
        QCOMPARE(window.bannerText(), QString("只有一条"));

        // A refill starts the rotation at its head again.
        QCOMPARE(window.SetBannerEntries(
                     "第一条横幅{*}2{*}http://a.example/1{#}第二条横幅{*}3{*}http://a.example/2{#}"
                     "第三条横幅{*}7{*}http://a.example/3"),
                 3);
        window.RotateBanner();
        window.RotateBanner();
        QCOMPARE(window.bannerText(), QString("第二条横幅"));
        QCOMPARE(window.SetBannerEntries(
                     "新的第一条{*}3{*}http://a.example/x{#}short{#}新的第二条{*}3{*}http://a.example/y"),
                 2);
        window.RotateBanner();
        QCOMPARE(window.bannerText(), QString("新的第一条"));
        window.RotateBanner();
        window.RotateBanner();
        QCOMPARE(window.bannerText(), QString("新的第一条"));

        QCOMPARE(window.SetBannerEntries(""), 0);
        QCOMPARE(window.bannerText(), defaultText);
        QCOMPARE(window.bannerColor(), QColor(0, 0, 0));
    }

    void ClosingClearsLeftoverRunNowTasks_data() {
        QTest::addColumn<bool>("withTask");
        QTest::newRow("only the day") << false;
        QTest::newRow("a task left") << true;
    }
    void ClosingClearsLeftoverRunNowTasks() {
        QFETCH(bool, withTask);
        TempProgramFolder folder;
        InstallArchiver(folder);
        RecordingPrompter prompter;
        const IniFile temp(zov::TempIniPath());
        {
            CStowmeranDlg window;
            if (withTask) temp.Write("7", "TEMPTASKS", "RUNNING");
            window.show();
            window.close();
        }
        QCOMPARE(temp.Read("DAY", "TEMPTASKS").empty(), withTask);
        QCOMPARE(temp.Read("7", "TEMPTASKS"), std::string());
    }

    // Closing saves the task store only when it holds unsaved changes; a refused store is never written.
    void ClosingSavesOnlyUnsavedChanges_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("written");
        QTest::newRow("unchanged") << "unchanged" << false;
        QTest::newRow("changed") << "changed" << true;
        QTest::newRow("refused") << "refused" << false;
    }
    void ClosingSavesOnlyUnsavedChanges() {
        QFETCH(QString, state);
        QFETCH(bool, written);
        TempProgramFolder folder;
        InstallArchiver(folder);
        IniFile(zov::ConfigIniPath()).Write("Dir", "LOG", folder / "Log/");
        RecordingPrompter prompter;
        const std::string db = folder / "task.db";
        zov::CQelXML& store = zov::gui::TaskStore();
        if (state == "refused") WriteFile(db, std::string(zov::kTaskStoreMaxFileSize + 1, 'x'));
        store.SetFilePath(db);
        QCOMPARE(store.Load(), state != "refused");
        if (state == "changed") {
            zov::TaskInfo task;
            task.flags = zov::kTaskFile | zov::kTaskScheduled;
            task.name = "a";
            task.source = "/data/a";
            task.dest = "/backup/a";
            task.times = "08:00";
            QVERIFY(store.ChangeTask(zov::kChangeAdd, task, false, false));
        }
        const std::string marker = "written by someone else";
        if (state != "refused") WriteFile(db, marker);
        const std::string before = ReadFile(db);
        {
            CStowmeranDlg window;
            window.show();
            window.close();
        }
        QCOMPARE(ReadFile(db) != before, written);
        store.SetFilePath("");
    }

    void AboutBoxClosesWithItsButton() {
        TempProgramFolder folder;
        zov::gui::CAboutDlg about;
        about.show();
        SaveScreenshot(about, "about-box");
        QTest::mouseClick(about.findChild<QPushButton*>("ok"), Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    // The closing notice of a database restore that fails at once, shown by the real message box.
    void ADatabaseRestoreNoticeOpensInsideTheMainWindow_data() {
        QTest::addColumn<bool>("sqlServer");
        QTest::newRow("SQL Server") << true;
        QTest::newRow("MySQL") << false;
    }
    void ADatabaseRestoreNoticeOpensInsideTheMainWindow() {
        QFETCH(bool, sqlServer);
        TempProgramFolder folder;
        InstallArchiver(folder);
        CStowmeranDlg window;
        window.move(0, 0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QString text;
        QRect notice;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            SaveScreenshot(*box, "restore-notice");
            text = box->text();
            notice = box->frameGeometry();
            box->accept();
        });
        poll.start(10);
        if (sqlServer) {
            zov::gui::SqlRestoreRequest request;
            request.database = "sales";
            window.restoreEngine().RestoreSqlServer(request);
        } else {
            zov::gui::MySqlRestoreRequest request;
            request.serviceName = "zov-no-such-service";
            request.database = "sales";
            window.restoreEngine().RestoreMySql(request);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!text.isEmpty(), 20000);
        QVERIFY2(text.contains("数据库还原失败"), qPrintable(text));
        const QRect main = window.frameGeometry();
        QVERIFY2(main.contains(notice), qPrintable(QString("%1,%2 %3x%4")
                                                       .arg(notice.x())
                                                       .arg(notice.y())
                                                       .arg(notice.width())
                                                       .arg(notice.height())));
        QVERIFY((notice.center() - main.center()).manhattanLength() <= 4);
    }

    void AnotherStartRaisesTheMinimisedWindow() {
        TempProgramFolder folder;
        InstallArchiver(folder);
        RecordingPrompter prompter;
        zov::gui::SingleInstance instance;
        QCOMPARE(instance.ClaimFolder(folder.path()), zov::gui::SingleInstance::Claim::First);
        CStowmeranDlg window;
        connect(&instance, &zov::gui::SingleInstance::raiseRequested, &window,
                &CStowmeranDlg::RaiseFromOtherStart);
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());

        // The window is not ready yet (the splash of the first start): the second start ends with -1.
        QCOMPARE(RunSecondStart(folder), 255);
        QVERIFY(window.isMinimized());

        QVERIFY(instance.Listen());
        QCOMPARE(RunSecondStart(folder), 0);
        QTRY_VERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
