#include <signal.h>
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/mssql/SqlServerConnection.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "gui/pages/DatabasePicker.h"
#include "gui/pages/MSSqlBackupDlg.h"
#include "gui/pages/MSSqlBackupListDlg.h"
#include "gui/pages/MSSqlBackupSetupDlg.h"
#include "gui/pages/RunNow.h"
#include "gui/pages/SqlDatabaseListing.h"
#include "gui/restore/SqlServerRestoreDialog.h"
#include "gui/shell/PageTabs.h"
#include "gui/shell/TaskStore.h"
#include "gui/widgets/BitButtonNL.h"
#include "platform/Clock.h"
#include "support/DatabasePageFolder.h"
#include "support/RecordingShell.h"
#include "support/TaskStoreFiles.h"
#include "support/TdsPeer.h"

using namespace zov::gui;
using zov::IniFile;
using zov::TaskInfo;
using zov::gui::test::Control;
using zov::gui::test::ReadFile;
using zov::gui::test::RowTexts;
using zov::gui::test::SaveScreenshot;
using zov::gui::test::StoredTasks;
using zov::gui::test::StoreRecords;
using zov::gui::test::TaskRecord;
using Answer = zov::gui::Prompter::Answer;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 20000;
constexpr const char* kDatabases = R"({"databases": ["master", "tempdb", "model", "sales", "hr", "a>b"]})";

QStringList Entries(const QComboBox& box) {
    QStringList entries;
    for (int index = 0; index < box.count(); ++index) entries.append(box.itemText(index));
    return entries;
}

// A program folder whose config.ini points [MSSQL] at a TDS peer, with the archiver.
struct Fixture : zov::gui::test::DatabasePageFolder {
    explicit Fixture(const std::string& script = kDatabases, const std::string& instances = "SALES|HR") {
        peer = std::make_unique<zov::test::TdsPeer>(folder / "peer", script, "nobody");
        const IniFile config(zov::ConfigIniPath());
        config.Write("Host", "MSSQL", "127.0.0.1");
        config.Write("Port", "MSSQL", std::to_string(peer->port()));
        config.Write("User", "MSSQL", "sa");
        config.Write("Password", "MSSQL", "p;w}d{x='y");
        config.Write("ServerAccount", "MSSQL", "nobody");
        if (!instances.empty()) config.Write("Instances", "MSSQL", instances);
        fs::copy_file(zov::gui::test::BuiltProgram("rar").toStdString(), folder / "rar");
        IniFile(zov::TempIniPath()).Write("rar_path", "SYSTEM", folder / "rar");
    }
    // The listings the test abandoned end while the peer and the driver list they use are still there: the
    // driver manager keeps what it found for a while, a driver list gone too.
    ~Fixture() { SqlDatabaseListing::WaitForThreads(std::chrono::seconds(zov::kSqlServerLoginTimeout + 5)); }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;
    TaskInfo Task(int id, const std::string& name, const std::string& databases) const {
        TaskInfo task = DatabasePageFolder::Task(zov::kSqlServer, id, name, databases);
        task.instance = "SALES";
        return task;
    }
    std::unique_ptr<zov::test::TdsPeer> peer;
};

// The editor prepared for the operation, its listing ended.
void Prepare(CMSSqlBackupSetupDlg& editor, int operation, int id) {
    editor.SetOperation(operation, id);
    QVERIFY(editor.Prepare());
    QTRY_VERIFY_WITH_TIMEOUT(!editor.listing()->Running(), kWaitMs);
    QTest::qWait(0);
}

void ClickOk(CMSSqlBackupSetupDlg& editor) {
    QTest::mouseClick(Control<QPushButton>(editor, "1204"), Qt::LeftButton);
}

// Chooses the entry of the list and clicks the button.
void Move(CMSSqlBackupSetupDlg& editor, QTreeWidget* list, const QString& entry, const char* button) {
    const QList<QTreeWidgetItem*> found = list->findItems(entry, Qt::MatchExactly);
    if (!found.isEmpty()) list->setCurrentItem(found.front());
    QTest::mouseClick(Control<QPushButton>(editor, button), Qt::LeftButton);
}

}  // namespace

class SqlServerPageTest : public QObject {
    Q_OBJECT

  private slots:
    // Every field of a stored SQL Server task comes back unchanged after it was opened and saved.
    void ATaskSavedUnchangedReadsBackTheSame_data() {
        QTest::addColumn<std::function<void(TaskInfo&)>>("change");
        using Change = std::function<void(TaskInfo&)>;
        QTest::newRow("all databases, daily, kept 30 days") << Change([](TaskInfo&) {});
        QTest::newRow("two databases, weekly, with a password") << Change([](TaskInfo& t) {
            t.database = "hr|sales";
            t.password = "p a'ss\"word";
            t.period = zov::kWeekly;
            t.days.reset();
            t.days.set(0).set(6);
            t.times = "08:00 20:30";
        });
        QTest::newRow("monthly with the 31st, kept for ever") << Change([](TaskInfo& t) {
            t.flags &= ~zov::kTaskKeepDays;
            t.keepDays = 0;
            t.period = zov::kMonthly;
            t.days.reset();
            t.days.set(0).set(30);
        });
        QTest::newRow("runs off, another instance") << Change([](TaskInfo& t) {
            t.flags &= ~zov::kTaskScheduled;
            t.instance = "HR";
            t.database = "sales";
        });
    }
    void ATaskSavedUnchangedReadsBackTheSame() {
        QFETCH(std::function<void(TaskInfo&)>, change);
        Fixture f;
        TaskInfo task = f.Task(4, "库备份", "?????");
        change(task);
        QVERIFY(StoreRecords({TaskRecord(task)}));
        const std::vector<TaskInfo> before = StoredTasks();
        CMSSqlBackupSetupDlg editor(nullptr);
        Prepare(editor, CMSSqlBackupSetupDlg::kModify, 4);
        QCOMPARE(editor.windowTitle(), QString("修改任务(库备份)"));
        SaveScreenshot(editor, QString("sql-server-editor-") + QTest::currentDataTag());
        ClickOk(editor);
        QCOMPARE(f.prompter.Texts(), QStringList{"任务修改成功"});
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        const std::vector<TaskInfo> after = StoredTasks();
        QVERIFY2(after == before, after.empty() ? "" : TaskRecord(after.front()).c_str());
    }

    // A new task from the form: the instance in capitals, the chosen databases in list order; every form
    // check that fails says why and keeps the dialog open.
    void AFormBecomesATask_data() {
        QTest::addColumn<std::function<void(CMSSqlBackupSetupDlg&)>>("fill");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("databases");
        using Fill = std::function<void(CMSSqlBackupSetupDlg&)>;
        QTest::newRow("two databases") << Fill([](CMSSqlBackupSetupDlg& e) {
            Move(e, e.picker()->availableList(), "hr", "1226");
            Move(e, e.picker()->availableList(), "sales", "1226");
        }) << "任务添加成功"
                                       << "SALES"
                                       << "sales|hr";
        QTest::newRow("every database") << Fill([](CMSSqlBackupSetupDlg& e) {
            Move(e, e.picker()->availableList(), DatabasePicker::kAllEntry, "1226");
        }) << "任务添加成功"
                                        << "SALES"
                                        << "?????";
        QTest::newRow("a typed instance, confirmed") << Fill([](CMSSqlBackupSetupDlg& e) {
            e.instanceBox()->setEditText("named");
            QTest::mouseClick(Control<QPushButton>(e, "1423"), Qt::LeftButton);
            QTRY_VERIFY(!e.listing()->Running());
            Move(e, e.picker()->availableList(), "sales", "1226");
        }) << "任务添加成功"
                                                     << "NAMED"
                                                     << "sales";
        QTest::newRow("every one listed, in order") << Fill([](CMSSqlBackupSetupDlg& e) {
            QTest::mouseClick(Control<QPushButton>(e, "1376"), Qt::LeftButton);
            Move(e, e.picker()->selectedList(), "a>b", "1227");
        }) << "任务添加成功"
                                                    << "SALES"
                                                    << "sales|hr";
        QTest::newRow("no database") << Fill([](CMSSqlBackupSetupDlg&) {}) << "未指定任何需要备份的数据库"
                                     << ""
                                     << "";
        QTest::newRow("a database the store cannot hold")
            << Fill([](CMSSqlBackupSetupDlg& e) { Move(e, e.picker()->availableList(), "a>b", "1226"); })
            << "错误的任务: 数据库名不能含有 <、>、| 或控制字符，请重新设置"
            << ""
            << "";
        QTest::newRow("an impossible time") << Fill([](CMSSqlBackupSetupDlg& e) {
            Move(e, e.picker()->availableList(), "hr", "1226");
            Control<QLineEdit>(e, "1329")->setText("08:00,25:99");
        }) << "备份时间“25:99”无效"
                                            << ""
                                            << "";
        QTest::newRow("a name with a slash") << Fill([](CMSSqlBackupSetupDlg& e) {
            Control<QLineEdit>(e, "1223")->setText("a/b");
            Move(e, e.picker()->availableList(), "hr", "1226");
        }) << "任务名为空或者不合法"
                                             << ""
                                             << "";
    }
    void AFormBecomesATask() {
        QFETCH(std::function<void(CMSSqlBackupSetupDlg&)>, fill);
        QFETCH(QString, box);
        QFETCH(QString, instance);
        QFETCH(QString, databases);
        Fixture f;
        QVERIFY(StoreRecords({}));
        CMSSqlBackupSetupDlg editor(nullptr);
        Prepare(editor, CMSSqlBackupSetupDlg::kNew, 0);
        QCOMPARE(editor.windowTitle(), QString("新建SQL Server备份"));
        Control<QLineEdit>(editor, "1223")->setText("库");
        Control<QLineEdit>(editor, "1122")->setText(QString::fromStdString(f.folder / "bak"));
        fill(editor);
        ClickOk(editor);
        QCOMPARE(f.prompter.Texts(), QStringList{box});
        const std::vector<TaskInfo> stored = StoredTasks();
        QCOMPARE(stored.size(), std::size_t(instance.isEmpty() ? 0 : 1));
        QCOMPARE(editor.result(), int(instance.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
        if (stored.empty()) return;
        QCOMPARE(QString::fromStdString(stored.front().instance), instance);
        QCOMPARE(QString::fromStdString(stored.front().database), databases);
        QCOMPARE(stored.front().sqlType, int(zov::kSqlServer));
        QCOMPARE(stored.front().keepDays, 30);
        QCOMPARE(stored.front().times, std::string("01:00"));
    }

    // The instances are those of config.ini [MSSQL] Instances; a stored one is chosen exactly, ASCII case
    // ignored, and added first when it is not listed.
    void InstancesComeFromConfigIni_data() {
        QTest::addColumn<QString>("instances");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("none configured") << ""
                                         << "" << QStringList{"MSSQLSERVER"} << "MSSQLSERVER";
        QTest::newRow("the first by default") << "SALES|HR"
                                              << "" << QStringList{"SALES", "HR"} << "SALES";
        QTest::newRow("never a longer name") << "SALES2|SALES"
                                             << "SALES" << QStringList{"SALES2", "SALES"} << "SALES";
        QTest::newRow("case ignored") << "SALES|HR"
                                      << "hr" << QStringList{"SALES", "HR"} << "HR";
        QTest::newRow("a stored one no longer listed") << "SALES|HR"
                                                       << "OLD" << QStringList{"OLD", "SALES", "HR"} << "OLD";
        QTest::newRow("none configured, another stored")
            << ""
            << "OLD" << QStringList{"OLD", "MSSQLSERVER"} << "OLD";
    }
    void InstancesComeFromConfigIni() {
        QFETCH(QString, instances);
        QFETCH(QString, stored);
        QFETCH(QStringList, entries);
        QFETCH(QString, chosen);
        Fixture f(kDatabases, instances.toStdString());
        CMSSqlBackupSetupDlg editor(nullptr);
        editor.FillInstances(stored);
        QCOMPARE(Entries(*editor.instanceBox()), entries);
        QCOMPARE(editor.instanceBox()->currentText(), chosen);
    }

    // The databases to choose from are the instance's, without the system ones; a listing that fails says
    // why and offers none, also when rows came before the error.
    void DatabasesComeFromTheInstance_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("available");
        QTest::addColumn<QString>("warning");
        QTest::newRow("listed") << kDatabases << QStringList{"{所有数据库}", "sales", "hr", "a>b"} << "";
        QTest::newRow("refused")
            << R"({"rules": [{"match": "sysdatabases", "reply": [{"error": [229, "permission denied"]}]}]})"
            << QStringList{"{所有数据库}"} << "permission denied";
        QTest::newRow("rows, then an error")
            << R"({"rules": [{"match": "sysdatabases", "reply": [{"rows": {"columns": ["name", "crdate",
               "filename"], "rows": [["sales", "", ""]]}}, {"error": [8114, "late failure"]}]}]})"
            << QStringList{"{所有数据库}"} << "late failure";
    }
    void DatabasesComeFromTheInstance() {
        QFETCH(QString, script);
        QFETCH(QStringList, available);
        QFETCH(QString, warning);
        Fixture f(script.toStdString());
        QVERIFY(StoreRecords({}));
        CMSSqlBackupSetupDlg editor(nullptr);
        Prepare(editor, CMSSqlBackupSetupDlg::kNew, 0);
        QCOMPARE(RowTexts(*editor.picker()->availableList()), available);
        if (warning.isEmpty()) {
            QCOMPARE(f.prompter.Texts(), QStringList());
        } else {
            QCOMPARE(f.prompter.Boxes().size(), 1);
            QVERIFY(f.prompter.Texts().front().startsWith("从实例SALES中获取数据库列表时出错：\n\n"));
            QVERIFY2(f.prompter.Texts().front().contains(warning), qPrintable(f.prompter.Texts().front()));
            QCOMPARE(f.prompter.Boxes().front().caption, QString("警告"));
        }
    }

    // Choosing every database empties both lists; taking it back lists the instance's databases again.
    void EveryDatabaseIsOneChoice() {
        Fixture f;
        QVERIFY(StoreRecords({}));
        CMSSqlBackupSetupDlg editor(nullptr);
        Prepare(editor, CMSSqlBackupSetupDlg::kNew, 0);
        DatabasePicker& picker = *editor.picker();
        Move(editor, picker.availableList(), "hr", "1226");
        Move(editor, picker.availableList(), DatabasePicker::kAllEntry, "1226");
        QCOMPARE(RowTexts(*picker.selectedList()), QStringList{"{所有数据库}"});
        QCOMPARE(RowTexts(*picker.availableList()), QStringList());
        QCOMPARE(picker.Chosen(), std::string("?????"));
        Move(editor, picker.selectedList(), DatabasePicker::kAllEntry, "1227");
        QTRY_VERIFY_WITH_TIMEOUT(!editor.listing()->Running(), kWaitMs);
        QTRY_COMPARE(RowTexts(*picker.availableList()), (QStringList{"{所有数据库}", "sales", "hr", "a>b"}));
        QCOMPARE(picker.Chosen(), std::string());
        Move(editor, picker.availableList(), "sales", "1226");
        QTest::mouseClick(Control<QPushButton>(editor, "1377"), Qt::LeftButton);
        QCOMPARE(RowTexts(*picker.availableList()), (QStringList{"{所有数据库}", "hr", "a>b", "sales"}));
        QCOMPARE(Control<QLabel>(editor, "1398")->text(), QString("4"));
        QCOMPARE(Control<QLabel>(editor, "1399")->text(), QString("0"));
    }

    // Closing the editor while the instance does not answer cancels the listing at once.
    void ClosingTheEditorEndsItsListing() {
        Fixture f(R"({"rules": [{"match": "sysdatabases", "delay": 60}]})");
        QVERIFY(StoreRecords({}));
        CMSSqlBackupSetupDlg editor(nullptr);
        editor.SetOperation(CMSSqlBackupSetupDlg::kNew, 0);
        QVERIFY(editor.Prepare());
        QTRY_VERIFY_WITH_TIMEOUT(f.peer->Batches().size() == 1, kWaitMs);
        QVERIFY(editor.listing()->Running());
        QElapsedTimer closing;
        closing.start();
        editor.reject();
        QVERIFY2(closing.elapsed() < 5000, qPrintable(QString::number(closing.elapsed())));
        QVERIFY(!editor.listing()->Running());
        QTest::qWait(50);
        QCOMPARE(f.prompter.Texts(), QStringList());
    }

    // While logins to a host that takes the connection and never answers are in progress, changing the
    // instance and closing the editor return at once; the abandoned logins end by themselves within the
    // login time-out, their results dropped.
    void AHostThatNeverAnswersFreezesNothing() {
        using namespace std::chrono_literals;
        using Clock = std::chrono::steady_clock;
        Fixture f;
        zov::test::CountingSilentServer silent;
        QVERIFY(silent.port() != 0);
        IniFile(zov::ConfigIniPath()).Write("Port", "MSSQL", std::to_string(silent.port()));
        QVERIFY(StoreRecords({}));
        QTRY_COMPARE_WITH_TIMEOUT(SqlDatabaseListing::Threads(), 0, kWaitMs);
        auto editor = std::make_unique<CMSSqlBackupSetupDlg>(nullptr);
        editor->SetOperation(CMSSqlBackupSetupDlg::kNew, 0);
        const auto started = Clock::now();
        QVERIFY(editor->Prepare());
        QVERIFY(silent.Accept(1, 10s));
        QVERIFY(editor->listing()->Running());

        const auto changing = Clock::now();
        QTest::keyClick(editor->instanceBox(), Qt::Key_Down);
        const auto changed = Clock::now() - changing;
        QVERIFY2(changed < 1s, qPrintable(QString::number(changed / 1ms)));
        QCOMPARE(editor->instanceBox()->currentText(), QString("HR"));
        QVERIFY(silent.Accept(2, 10s));
        QCOMPARE(SqlDatabaseListing::Threads(), 2);

        const auto closing = Clock::now();
        editor->reject();
        editor.reset();
        const auto closed = Clock::now() - closing;
        QVERIFY2(closed < 1s, qPrintable(QString::number(closed / 1ms)));

        const auto bound = started + std::chrono::seconds(zov::kSqlServerLoginTimeout) + 5s;
        while (SqlDatabaseListing::Threads() > 0 && Clock::now() < bound) QTest::qWait(100);
        QCOMPARE(SqlDatabaseListing::Threads(), 0);
        QTest::qWait(50);
        QCOMPARE(f.prompter.Texts(), QStringList());
    }

    // The list holds the SQL Server tasks alone, a damaged record left out.
    void TheListShowsTheSqlServerTasks() {
        Fixture f;
        TaskInfo selected = f.Task(3, "hr", "hr|sales");
        selected.flags &= ~zov::kTaskKeepDays;
        selected.keepDays = 0;
        TaskInfo mySql = f.DatabasePageFolder::Task(zov::kMySql, 4, "my", "shop");
        mySql.serviceName = "mariadb";
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "all", "?????")), "\n<ID>2</ID>\n<FLAG>x</FLAG>\n",
                              TaskRecord(selected), TaskRecord(mySql),
                              TaskRecord(zov::gui::test::FileTask(f.folder.path(), 5, "files"))}));
        CMSSqlBackupDlg page(nullptr);
        const QString bak = QString::fromStdString(f.folder / "bak/");
        QCOMPARE(RowTexts(*page.listPage()->list()),
                 (QStringList{"1/all/SALES/{所有数据库}/" + bak + "all/√/30",
                              "3/hr/SALES/hr|sales/" + bak + "hr/√/不删除旧文件"}));
        QCOMPARE(f.prompter.Texts(), QStringList());
        SaveScreenshot(page, "sql-server-page-list");
        page.tabs()->Show(page.findChild<CBitButtonNL*>("1167"));
        SaveScreenshot(page, "sql-server-page-log");
    }

    // A delete goes through the editor; one whose save fails is reported and the list shows task.db again.
    void ADeleteIsSavedOrReportedAndReloaded_data() {
        QTest::addColumn<bool>("diskFull");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("deleted") << false << QStringList{"您确定要删除此任务"} << QStringList{"1"};
        QTest::newRow("not saved") << true << QStringList{"您确定要删除此任务", "任务删除失败"}
                                   << QStringList{"1", "2"};
    }
    void ADeleteIsSavedOrReportedAndReloaded() {
        QFETCH(bool, diskFull);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, rows);
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(1, "keep", "?????")), TaskRecord(f.Task(2, "gone", "hr"))}));
        CMSSqlBackupDlg page(nullptr);
        CMSSqlBackupListDlg& list = *page.listPage();
        list.list()->setCurrentItem(list.list()->topLevelItem(1));
        f.prompter.Script({Answer::Yes});
        rlimit original{};
        getrlimit(RLIMIT_FSIZE, &original);
        signal(SIGXFSZ, SIG_IGN);
        rlimit small = original;
        small.rlim_cur = diskFull ? 64 : original.rlim_cur;
        setrlimit(RLIMIT_FSIZE, &small);
        list.DeleteTask();
        setrlimit(RLIMIT_FSIZE, &original);
        QCOMPARE(f.prompter.Texts(), boxes);
        QCOMPARE(StoredTasks().size(), std::size_t(rows.size()));
        QTRY_COMPARE(RowTexts(*list.list()).replaceInStrings(QRegularExpression("/.*"), ""), rows);
    }

    // Restore from history opens the SQL Server restore dialog of the selected row's task.
    void RestoreFromHistoryOpensTheRestoreDialog() {
        Fixture f;
        QVERIFY(StoreRecords({TaskRecord(f.Task(3, "all", "?????"))}));
        CMSSqlBackupDlg page(nullptr);
        CMSSqlBackupListDlg& list = *page.listPage();
        list.list()->setCurrentItem(list.list()->topLevelItem(0));
        QMenu menu;
        list.BuildMenu(menu);
        QAction* restore = menu.actions().at(5);
        QCOMPARE(restore->text(), QString("历史备份还原"));
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CMSSqlRestore*>(QApplication::activeModalWidget());
            opened = dialog != nullptr;
            if (dialog == nullptr) return;
            SaveScreenshot(*dialog, "sql-server-restore-from-list");
            dialog->reject();
        });
        restore->trigger();
        QVERIFY(opened);
    }

    // The storage folder opens from the menu; one the shell cannot open says why.
    void TheStorageFolderOpensFromTheMenu_data() {
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("there");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("opened") << true << true << QStringList();
        QTest::newRow("not opened") << false << true << QStringList{"指定的文件夹 <F> 打开失败"};
        QTest::newRow("gone") << false << false << QStringList{"指定的文件夹 <F> 不存在"};
    }
    void TheStorageFolderOpensFromTheMenu() {
        QFETCH(bool, opens);
        QFETCH(bool, there);
        QFETCH(QStringList, boxes);
        Fixture f;
        zov::RecordingShell shell(opens);
        zov::SetShell(&shell);
        const TaskInfo task = f.Task(1, "all", "?????");
        QVERIFY(StoreRecords({TaskRecord(task)}));
        CMSSqlBackupDlg page(nullptr);
        CMSSqlBackupListDlg& list = *page.listPage();
        list.list()->setCurrentItem(list.list()->topLevelItem(0));
        if (!there) fs::remove(task.dest);
        QMenu menu;
        list.BuildMenu(menu);
        QCOMPARE(menu.actions().back()->isEnabled(), there);
        list.OpenStorageFolder();
        zov::SetShell(nullptr);
        boxes.replaceInStrings("<F>", QString::fromStdString(task.dest));
        QCOMPARE(f.prompter.Texts(), boxes);
        QCOMPARE(shell.Opened(), std::vector<std::string>{task.dest});
    }

    // A run at once backs the databases up through the server and says how it went.
    void ARunAtOnceBacksUpThroughTheServer_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("databases");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("archives");
        QTest::newRow("all") << kDatabases << "?????"
                             << "任务 库 执行成功" << QStringList{"a>b", "hr", "sales"};
        QTest::newRow("a backup the server refuses")
            << R"({"databases": ["sales", "hr"], "rules": [{"match": "^backup database \\[hr\\]",
                  "reply": [{"error": [3201, "Cannot open backup device."]}]}]})"
            << "sales|hr"
            << "任务 库 执行失败\n[FreeTDS][SQL Server]Cannot open backup device." << QStringList{"sales"};
    }
    void ARunAtOnceBacksUpThroughTheServer() {
        QFETCH(QString, script);
        QFETCH(QString, databases);
        QFETCH(QString, box);
        QFETCH(QStringList, archives);
        Fixture f(script.toStdString());
        const TaskInfo task = f.Task(3, "库", databases.toStdString());
        QVERIFY(StoreRecords({TaskRecord(task)}));
        CMSSqlBackupDlg page(nullptr);
        CMSSqlBackupListDlg& list = *page.listPage();
        list.list()->setCurrentItem(list.list()->topLevelItem(0));
        QTest::mouseClick(list.runButton(), Qt::LeftButton);
        QVERIFY(!list.runButton()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(f.prompter.Boxes().size(), qsizetype(1), kWaitMs);
        QCOMPARE(f.prompter.Texts(), QStringList{box});
        QCOMPARE(f.prompter.Boxes().front().caption, QString(archives.size() == 3 ? "成 功" : "失 败"));
        QCOMPARE(IniFile(zov::TempIniPath()).Read("3", zov::kTempTasksSection),
                 std::string(archives.size() == 3 ? "" : "FAILED"));
        QStringList written;
        const std::string dated = task.dest + "/" + zov::FormatLocalTime(zov::Now(), "%Y-%m-%d");
        for (const auto& entry : fs::directory_iterator(dated))
            written.append(QString::fromStdString(entry.path().filename()).section('_', 0, 0));
        written.sort();
        QCOMPARE(written, archives);
        QTRY_VERIFY(list.runButton()->isEnabled());
    }
};

QTEST_MAIN(SqlServerPageTest)
#include "SqlServerPageTest.moc"
