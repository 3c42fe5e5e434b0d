#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "engine/control/ServiceCtrl.h"
#include "gui/shell/ServiceRepair.h"
#include "gui/shell/SysSetupSubDlg.h"
#include "platform/Paths.h"
#include "platform/ProcFind.h"
#include "platform/ServiceManagerSupervisor.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"

using namespace zov::gui;
using zov::kBackupServiceName;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::TempProgramFolder;

namespace {

// Ends every supervisor and service the local backend recorded in the folder, and reaps them.
void KillRecordedServices(const std::string& recordFolder) {
    for (const std::string& entry : zov::ListDirectory(recordFolder)) {
        if (!entry.ends_with(".supervisor")) continue;
        const auto record = zov::ReadSupervisorRecord(recordFolder + entry);
        if (!record) continue;
        if (zov::IsProcessAlive(record->supervisorPid, record->supervisorStart))
            kill(record->supervisorPid, SIGKILL);
        if (zov::IsProcessAlive(record->servicePid, record->serviceStart)) kill(record->servicePid, SIGKILL);
    }
    for (int round = 0; round < 100 && waitpid(-1, nullptr, WNOHANG) >= 0; ++round) QTest::qWait(20);
}

}  // namespace

class ServiceRepairTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        setenv("ZOV_SERVICE_BACKEND", "local", 1);
        unsetenv("NOTIFY_SOCKET");
        if (zov::gui::test::BuiltProgram("zovsvc").isEmpty()) QSKIP("zovsvc is not built");
    }

    void RepairBringsTheServiceUp_data() {
        QTest::addColumn<bool>("runningBefore");
        QTest::newRow("not installed") << false;
        QTest::newRow("running") << true;
    }
    void RepairBringsTheServiceUp() {
        QFETCH(bool, runningBefore);
        TempProgramFolder folder;
        RecordingPrompter prompter;
        std::filesystem::copy_file(zov::gui::test::BuiltProgram("zovsvc").toStdString(),
                                   ServiceProgramPath());
        if (runningBefore) {
            QVERIFY(zov::InstallService(ServiceProgramPath(), kBackupServiceName, ""));
            QCOMPARE(zov::StartServiceWait(kBackupServiceName), 1);
        }
        {
            CSysSetupSubDlg page(nullptr);
            page.show();
            zov::gui::test::SaveScreenshot(page, "settings-sub-page");
            auto* repair = page.findChild<QPushButton*>("1095");
            QSignalSpy finished(&page, &CSysSetupSubDlg::repairFinished);
            int ticks = 0;
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
            ticker.start(100);
            QTest::mouseClick(repair, Qt::LeftButton);
            QVERIFY(!repair->isEnabled());
            QVERIFY(finished.wait(90000));
            QVERIFY(repair->isEnabled());
            // The window thread went on while the repair ran.
            QVERIFY(ticks > 20);
            QCOMPARE(finished.at(0).at(0).toBool(), true);
            QCOMPARE(prompter.Texts(), QStringList{"修复成功完成！"});
            QCOMPARE(zov::GetServiceState(kBackupServiceName), zov::kServiceRunning);
            QVERIFY(ServiceProgramRuns());
        }
        zov::StopServiceWait(kBackupServiceName);
        KillRecordedServices(folder / "run/services/");
    }

    void AProgramThatNeverComesUpFails() {
        TempProgramFolder folder;
        RecordingPrompter prompter;
        zov::gui::test::WriteFile(ServiceProgramPath(), "#!/bin/sh\nexit 1\n");
        std::filesystem::permissions(ServiceProgramPath(), std::filesystem::perms::owner_all);
        CSysSetupSubDlg page(nullptr);
        QSignalSpy finished(&page, &CSysSetupSubDlg::repairFinished);
        QTest::mouseClick(page.findChild<QPushButton*>("1095"), Qt::LeftButton);
        QVERIFY(finished.wait(90000));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QCOMPARE(prompter.Boxes().at(0).caption, QString("失败"));
        KillRecordedServices(folder / "run/services/");
    }
};

QTEST_MAIN(ServiceRepairTest)
#include "ServiceRepairTest.moc"
