#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "gui/pages/DatabasePicker.h"
#include "gui/pages/MysqlBackupDlg.h"
#include "gui/pages/MysqlBackupListDlg.h"
#include "gui/pages/MysqlBackupSetupDlg.h"
#include "gui/restore/MySqlLogin.h"
#include "gui/restore/MySqlRestoreDialog.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageTabs.h"
#include "gui/widgets/BitButtonNL.h"
#include "platform/Clock.h"
#include "support/DatabasePageFolder.h"
#include "support/MySqlTestServer.h"
#include "support/TaskStoreFiles.h"
#include "support/TdsPeer.h"

using namespace zov::gui;
using zov::IniFile;
using zov::TaskInfo;
using zov::gui::test::Control;
using zov::gui::test::RowTexts;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::StoredTasks;
using zov::gui::test::StoreRecords;
using zov::gui::test::TaskRecord;
using Answer = zov::gui::Prompter::Answer;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 60000;

// A program folder that reaches the test server as the system does, with the archiver and a database of
// its own on the server.
struct Fixture : zov::gui::test::DatabasePageFolder {
    Fixture() {
        zov::test::UseTestServer(server);
        fs::copy_file(zov::gui::test::BuiltProgram("rar").toStdString(), folder / "rar");
        IniFile(zov::TempIniPath()).Write("rar_path", "SYSTEM", folder / "rar");
        database = zov::test::UniqueDatabase("gui_page_");
        zov::test::RunSql(server, "CREATE DATABASE " + zov::test::QuotedName(database) + ";\nUSE " +
                                      zov::test::QuotedName(database) +
                                      ";\nCREATE TABLE t (id INT PRIMARY KEY);\nINSERT INTO t VALUES (1);\n");
    }
    ~Fixture() {
        zov::test::RunSql(server, "DROP DATABASE IF EXISTS " + zov::test::QuotedName(database) + ";");
    }
    TaskInfo Task(int id, const std::string& name, const std::string& databases) const {
        TaskInfo task = DatabasePageFolder::Task(zov::kMySql, id, name, databases);
        task.serviceName = zov::test::kTestServerService;
        task.rootPassword = server.rootPassword;
        return task;
    }
    QString Database() const { return QString::fromStdString(database); }

    zov::test::MySqlTestServer server = zov::test::TestServer();
    std::string database;
};

// Chooses the service in the editor's box as the user does.
void ChooseService(CMysqlBackupSetupDlg& editor, const QString& service) {
    QComboBox& box = *editor.serviceBox();
    const int index = ExactEntry(box, service);
    QVERIFY2(index >= 0, qPrintable(service));
    box.setCurrentIndex(index);
    emit box.activated(index);
}

void ClickOk(CMysqlBackupSetupDlg& editor) {
    QTest::mouseClick(Control<QPushButton>(editor, "1297"), Qt::LeftButton);
}

}  // namespace

class MySqlPageTest : public QObject {
    Q_OBJECT

  private slots:
    // The services of MySQL servers are offered; a service's databases are the sub-folders of its server's
    // data folder, found by the engine's rules; where none is found, a box says why.
    void TheDataFolderOfAServiceIsFound_data() {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("box");
        QTest::newRow("the test server") << zov::test::kTestServerService << "";
        QTest::newRow("a service nobody knows") << "no-such-service"
                                                << "获取服务路径失败，错误号";
        QTest::newRow("a service that is no server") << "sleeper"
                                                     << "服务sleeper的命令行中没有MySQL服务器程序";
    }
    void TheDataFolderOfAServiceIsFound() {
        QFETCH(QString, service);
        QFETCH(QString, box);
        Fixture f;
        zov::gui::test::RegisterService("sleeper", {"/bin/sleep", "1000"});
        CMysqlBackupSetupDlg editor(nullptr);
        QVERIFY(ExactEntry(*editor.serviceBox(), zov::test::kTestServerService) >= 0);
        QCOMPARE(ExactEntry(*editor.serviceBox(), "sleeper"), -1);
        const std::string dataDir = editor.ServiceDataDir(service.toStdString());
        if (box.isEmpty()) {
            QCOMPARE(fs::canonical(dataDir), fs::canonical(f.server.dataDir));
            QCOMPARE(f.prompter.Texts(), QStringList());
        } else {
            QCOMPARE(dataDir, std::string());
            QCOMPARE(f.prompter.Boxes().size(), 1);
            QVERIFY2(f.prompter.Texts().front().startsWith(box), qPrintable(f.prompter.Texts().front()));
            QCOMPARE(f.prompter.Boxes().front().caption, QString("错误"));
        }
    }

    // Every field of a stored MySQL task comes back unchanged after it was opened and saved.
    void ATaskSavedUnchangedReadsBackTheSame_data() {
        QTest::addColumn<std::function<void(TaskInfo&)>>("change");
        using Change = std::function<void(TaskInfo&)>;
        QTest::newRow("all databases, daily") << Change([](TaskInfo&) {});
        QTest::newRow("one database, weekly, with a password") << Change([](TaskInfo& t) {
            t.database = "mysql";
            t.password = "p a'ss\"word";
            t.period = zov::kWeekly;
            t.days.reset();
            t.days.set(2);
            t.times = "23:59";
        });
        QTest::newRow("runs off, monthly on the 31st, kept for ever") << Change([](TaskInfo& t) {
            t.flags &= ~(zov::kTaskScheduled | zov::kTaskKeepDays);
            t.keepDays = 0;
            t.period = zov::kMonthly;
            t.days.reset();
            t.days.set(30);
        });
    }
    void ATaskSavedUnchangedReadsBackTheSame() {
        QFETCH(std::function<void(TaskInfo&)>, change);
        Fixture f;
        TaskInfo task = f.Task(6, "my", "?????");
        change(task);
        QVERIFY(StoreRecords({TaskRecord(task)}));
        const std::vector<TaskInfo> before = StoredTasks();
        CMysqlBackupSetupDlg editor(nullptr);
        editor.SetOperation(CMysqlBackupSetupDlg::kModify, 6);
        QVERIFY(editor.Prepare());
        QCOMPARE(editor.windowTitle(), QString("修改任务(my)"));
        SaveScreenshot(editor, QString("mysql-editor-") + QTest::currentDataTag());
        ClickOk(editor);
        QCOMPARE(f.prompter.Texts(), QStringList{"任务修改成功"});
        QVERIFY2(StoredTasks() == before, TaskRecord(StoredTasks().front()).c_str());
    }

    // A new task from the form, with the server's database chosen; what the store cannot hold is refused.
    void AFormBecomesATask_data() {
        QTest::addColumn<QString>("rootPassword");
        QTest::addColumn<QString>("times");
        QTest::addColumn<QString>("box");
        QTest::newRow("saved") << ""
                               << "01:00"
                               << "任务添加成功";
        QTest::newRow("a root password the store cannot hold")
            << "a<b"
            << "01:00"
            << "错误的任务: root密码不能含有 <、>、| 或控制字符，请重新设置";
        QTest::newRow("an impossible time") << ""
                                            << "25:99"
                                            << "备份时间“25:99”无效";
    }
    void AFormBecomesATask() {
        QFETCH(QString, rootPassword);
        QFETCH(QString, times);
        QFETCH(QString, box);
        Fixture f;
        QVERIFY(StoreRecords({}));
        CMysqlBackupSetupDlg editor(nullptr);
        editor.SetOperation(CMysqlBackupSetupDlg::kNew, 0);
        QVERIFY(editor.Prepare());
        QCOMPARE(editor.windowTitle(), QString("新建MySQL备份"));
        ChooseService(editor, zov::test::kTestServerService);
        QTreeWidget& available = *editor.picker()->availableList();
        const QList<QTreeWidgetItem*> found = available.findItems(f.Database(), Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        QCOMPARE(available.topLevelItem(0)->text(0), QString(DatabasePicker::kAllEntry));
        available.setCurrentItem(found.front());
        QTest::mouseClick(Control<QPushButton>(editor, "1412"), Qt::LeftButton);
        Control<QLineEdit>(editor, "1281")->setText("my");
        Control<QLineEdit>(editor, "1271")->setText(QString::fromStdString(f.folder / "bak"));
        Control<QLineEdit>(editor, "1305")->setText(times);
        Control<QLineEdit>(editor, "1289")
            ->setText(rootPassword.isEmpty() ? QString::fromStdString(f.server.rootPassword) : rootPassword);
        ClickOk(editor);
        // A password the server refuses is asked about first.
        QCOMPARE(f.prompter.Texts().size(), rootPassword.isEmpty() ? 1 : 2);
        QCOMPARE(f.prompter.Texts().back(), box);
        const bool saved = box == "任务添加成功";
        if (!saved) QCOMPARE(f.prompter.Boxes().back().caption, QString("错误"));
        const std::vector<TaskInfo> stored = StoredTasks();
        QCOMPARE(stored.size(), std::size_t(saved ? 1 : 0));
        if (stored.empty()) return;
        QCOMPARE(stored.front().serviceName, std::string(zov::test::kTestServerService));
        QCOMPARE(stored.front().database, f.database);
        QCOMPARE(stored.front().rootPassword, f.server.rootPassword);
        QCOMPARE(stored.front().sqlType, int(zov::kMySql));
    }

    // "检测" logs in where every MySQL client connects and says how it went, within the login's time-out;
    // a save whose login failed asks first.
    void TheRootPasswordIsTested_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("box");
        QTest::newRow("right password") << "running"
                                        << "数据库连接成功！";
        QTest::newRow("wrong password") << "wrong"
                                        << "数据库连接失败：Access denied for user 'root'";
        QTest::newRow("server stopped") << "stopped"
                                        << "数据库连接失败：Can't connect";
    }
    void TheRootPasswordIsTested() {
        QFETCH(QString, server);
        QFETCH(QString, box);
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(5, "my", "?????"))}));
        if (server == "stopped") {
            const IniFile config(zov::ConfigIniPath());
            config.Write("Socket", "MYSQL", "");
            config.Write("Host", "MYSQL", "127.0.0.1");
            config.Write("Port", "MYSQL", std::to_string(zov::test::ClosedPort()));
        }
        CMysqlBackupSetupDlg editor(nullptr);
        editor.SetOperation(CMysqlBackupSetupDlg::kModify, 5);
        QVERIFY(editor.Prepare());
        if (server == "wrong") Control<QLineEdit>(editor, "1289")->setText("not the password");
        QElapsedTimer answered;
        answered.start();
        QTest::mouseClick(Control<QPushButton>(editor, "1095"), Qt::LeftButton);
        QVERIFY(answered.elapsed() < (kMySqlLoginTimeout.count() + 1) * 1000);
        QCOMPARE(f.prompter.Boxes().size(), 1);
        QVERIFY2(f.prompter.Texts().front().startsWith(box), qPrintable(f.prompter.Texts().front()));
        QCOMPARE(f.prompter.Boxes().front().caption, QString("Velmorand"));
        QCOMPARE(Control<QPushButton>(editor, "1095")->text(), QString("检测"));
        QVERIFY(Control<QPushButton>(editor, "1095")->isEnabled());

        f.prompter.Script({Answer::No});
        ClickOk(editor);
        if (server == "running") {
            QCOMPARE(f.prompter.Texts().back(), QString("任务修改成功"));
            return;
        }
        QVERIFY(f.prompter.Texts().back().startsWith(
            "错误：数据库连接失败，将无法备份数据库，继续吗？\n\n错误信息："));
        QCOMPARE(editor.result(), int(QDialog::Rejected));
        f.prompter.Script({Answer::Yes});
        ClickOk(editor);
        QCOMPARE(f.prompter.Texts().back(), QString("任务修改成功"));
    }

    // Restore from history opens the MySQL restore dialog of the selected row's task.
    void RestoreFromHistoryOpensTheRestoreDialog() {
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(3, "my", "?????"))}));
        CMysqlBackupDlg page(nullptr);
        CMysqlBackupListDlg& list = *page.listPage();
        list.list()->setCurrentItem(list.list()->topLevelItem(0));
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CMysqlRestoreDlg*>(QApplication::activeModalWidget());
            opened = dialog != nullptr;
            if (dialog == nullptr) return;
            SaveScreenshot(*dialog, "mysql-restore-from-list");
            dialog->reject();
        });
        list.RestoreTask();
        QVERIFY(opened);
    }

    // A task whose service is gone opens as a new task.
    void ATaskOfAServiceThatIsGoneOpensAsANewOne() {
        Fixture f;
        TaskInfo task = f.Task(2, "gone", "?????");
        task.serviceName = "vanished";
        QVERIFY(StoreRecords({TaskRecord(task)}));
        CMysqlBackupSetupDlg editor(nullptr);
        editor.SetOperation(CMysqlBackupSetupDlg::kModify, 2);
        QVERIFY(editor.Prepare());
        QCOMPARE(editor.windowTitle(), QString("新建MySQL备份"));
        QCOMPARE(Control<QLineEdit>(editor, "1281")->text(), QString());
    }

    // The list shows the MySQL tasks; without a MySQL server the page stays hidden.
    void TheListShowsTheMySqlTasks() {
        Fixture f;
        const TaskInfo task = f.Task(3, "my", "?????");
        QVERIFY(StoreRecords(
            {TaskRecord(task), TaskRecord(f.DatabasePageFolder::Task(zov::kSqlServer, 4, "sql", "sales"))}));
        CMysqlBackupDlg page(nullptr);
        QVERIFY(page.serverFound());
        QCOMPARE(RowTexts(*page.listPage()->list()),
                 QStringList{"3/my/MariaDBTest/" + QString::fromStdString(task.dest) + "/√/30"});
        SaveScreenshot(page, "mysql-page-list");
        page.tabs()->Show(page.findChild<CBitButtonNL*>("1167"));
        SaveScreenshot(page, "mysql-page-log");

        zov::gui::test::ForcedServiceBackend none(false, f.folder.path());
        CMysqlBackupDlg without(nullptr);
        QVERIFY(!without.serverFound());
        QVERIFY(without.isHidden());
    }

    // A run at once dumps the databases and says how it went; without the dump tool it does not start.
    void ARunAtOnceDumpsTheDatabases_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("dumpTool");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        QTest::newRow("dumped") << true << true << "任务 my 执行成功！"
                                << "成功";
        QTest::newRow("a database that is not there")
            << false << true << "任务 my 执行失败！\n备份MySQL数据库时，指定的数据库名gone无效"
            << "失败";
        QTest::newRow("no dump tool") << true << false << "文件：<P>mysqldump  不存在，无法执行备份，请检查！"
                                      << "错误";
    }
    void ARunAtOnceDumpsTheDatabases() {
        QFETCH(bool, present);
        QFETCH(bool, dumpTool);
        QFETCH(QString, box);
        QFETCH(QString, caption);
        Fixture f;
        const TaskInfo task = f.Task(3, "my", present ? f.database : "gone");
        QVERIFY(StoreRecords({TaskRecord(task)}));
        CMysqlBackupDlg page(nullptr);
        CMysqlBackupListDlg& list = *page.listPage();
        list.list()->setCurrentItem(list.list()->topLevelItem(0));
        const std::string path = std::getenv("PATH");
        if (!dumpTool) setenv("PATH", (f.folder / "no-tools").c_str(), 1);
        QTest::mouseClick(list.runButton(), Qt::LeftButton);
        setenv("PATH", path.c_str(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.Boxes().size(), qsizetype(1), kWaitMs);
        QCOMPARE(f.prompter.Texts(),
                 QStringList{box.replace("<P>", QString::fromStdString(f.folder.path()))});
        QCOMPARE(f.prompter.Boxes().front().caption, caption);
        const std::string dated = task.dest + "/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d");
        QCOMPARE(fs::exists(dated) && !fs::is_empty(dated), present && dumpTool);
        QCOMPARE(IniFile(zov::TempIniPath()).Read("3", zov::kTempTasksSection),
                 std::string(present || !dumpTool ? "" : "FAILED"));
    }
};

QTEST_MAIN(MySqlPageTest)
#include "MySqlPageTest.moc"
