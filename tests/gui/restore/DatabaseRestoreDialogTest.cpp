#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/tasks/QelXml.h"
#include "engine/util/CommonTime.h"
#include "gui/restore/MySqlRestoreDialog.h"
#include "gui/restore/SqlServerRestoreDialog.h"
#include "gui/shell/TaskStore.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/SortListCtrl.h"
#include "support/DatabaseRestoreCase.h"
#include "support/RecordingShell.h"

using zov::gui::CDatabaseRestoreDlg;
using zov::gui::CMSSqlRestore;
using zov::gui::CMysqlRestoreDlg;
using zov::gui::Prompter;
using zov::gui::test::kBackupStamp;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 60000;

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString TimeText(const std::string& stamp) { return Q(zov::ConvertTimeStamp(stamp, false)); }

// The rows of a list, their cells joined by '|'.
QStringList Rows(const QTreeWidget& list) {
    QStringList rows;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < list.columnCount(); ++column)
            cells << list.topLevelItem(row)->text(column);
        rows << cells.join('|');
    }
    return rows;
}

void Click(QTreeWidget& list, QTreeWidgetItem* item) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(item).center());
}

// The restore dialogs' controls by the ids of each kind.
struct Ids {
    const char* databases;
    const char* backups;
    const char* restore;
};
Ids IdsOf(const CDatabaseRestoreDlg& dialog) {
    if (qobject_cast<const CMSSqlRestore*>(&dialog) != nullptr) return {"1260", "1263", "1095"};
    return {"1320", "1417", "1324"};
}
zov::gui::CSortListCtrl& List(CDatabaseRestoreDlg& dialog, const char* id) {
    return *dialog.findChild<zov::gui::CSortListCtrl*>(id);
}

// The dialogs driven as the user does.
template <typename Case>
class DialogCase : public Case {
  public:
    // The dialog of the kind on the task, shown.
    std::unique_ptr<CDatabaseRestoreDlg> Open(int sqlType, int taskId) {
        std::unique_ptr<CDatabaseRestoreDlg> dialog;
        if (sqlType == zov::kSqlServer) {
            dialog = std::make_unique<CMSSqlRestore>(taskId);
        } else {
            dialog = std::make_unique<CMysqlRestoreDlg>(taskId);
        }
        dialog->show();
        return dialog;
    }

    // Chooses the database's row and the backup's row (0: the latest).
    static bool Choose(CDatabaseRestoreDlg& dialog, const QString& database, int backup = 0) {
        zov::gui::CSortListCtrl& databases = List(dialog, IdsOf(dialog).databases);
        const auto found = databases.findItems(database, Qt::MatchExactly, 1);
        if (found.isEmpty()) return false;
        Click(databases, found.first());
        zov::gui::CSortListCtrl& backups = List(dialog, IdsOf(dialog).backups);
        if (backups.topLevelItemCount() <= backup) return false;
        Click(backups, backups.topLevelItem(backup));
        return true;
    }

    // Presses "还 原" with the answers for its boxes; the texts of the boxes shown meanwhile.
    QStringList Restore(CDatabaseRestoreDlg& dialog, QList<Prompter::Answer> answers) {
        const qsizetype before = this->prompter_.Texts().size();
        this->prompter_.Script(answers);
        QTest::mouseClick(dialog.findChild<QPushButton*>(IdsOf(dialog).restore), Qt::LeftButton);
        return this->prompter_.Texts().mid(before);
    }

    // After a while, still no restore and no other box.
    bool NothingPosted(int boxes) {
        QTest::qWait(300);
        return this->engine_.Running() == 0 && this->prompter_.Texts().size() == boxes;
    }
};

using SqlServerCase = DialogCase<zov::gui::test::DatabaseRestoreCase>;
using MySqlCase = DialogCase<zov::gui::test::MySqlRestoreCase>;

// Makes each entry under the storage folder: "x/" a folder, "x->y" a link to y, anything else a file.
void MakeEntries(const std::string& storage, const QStringList& entries) {
    for (const QString& entry : entries) {
        const std::string text = entry.toStdString();
        const std::size_t arrow = text.find("->");
        if (arrow != std::string::npos) {
            fs::create_directories(fs::path(storage + text.substr(0, arrow)).parent_path());
            fs::create_symlink(storage + text.substr(arrow + 2), storage + text.substr(0, arrow));
        } else if (text.ends_with('/')) {
            fs::create_directories(storage + text);
        } else {
            zov::gui::test::WriteFile(storage + text, "x");
        }
    }
}

}  // namespace

class DatabaseRestoreDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // The databases of the archives in the dated folders, numbered, with their backups by time (the
    // latest first), each at the path the scan found.
    void ListsTheDatabasesOfTheStorageFolder_data() {
        QTest::addColumn<int>("sqlType");
        QTest::addColumn<QString>("taskDatabases");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("databaseRows");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("backupRows");
        const QString time = TimeText(kBackupStamp);
        QTest::newRow("an archive") << int(zov::kSqlServer) << "sales"
                                    << QStringList{"2024-01-02/sales_20240102030405.rar"}
                                    << QStringList{"1|sales|1"} << "sales"
                                    << QStringList{time + "|2024-01-02/sales_20240102030405.rar"};
        QTest::newRow("a name holding '_'")
            << int(zov::kMySql) << "" << QStringList{"2024-01-02/my_db_20240102030405.rar"}
            << QStringList{"1|my_db|1"} << "my_db"
            << QStringList{time + "|2024-01-02/my_db_20240102030405.rar"};
        QTest::newRow("no backups")
            << int(zov::kSqlServer) << "sales"
            << QStringList{"2024-01-02/sales_2024010203040.rar",
                           "2024-01-02/sales_20240102030406/",
                           "2024-01-02/sales_20240102030407.zip",
                           "2024-1-02/sales_20240102030408.rar",
                           "elsewhere/sales_20240102030409.rar",
                           "2024-01-03->elsewhere",
                           "2024-01-02/sales_20240102030410.rar->elsewhere/sales_20240102030409.rar"}
            << QStringList{} << "" << QStringList{};
        QTest::newRow("the same stamp twice")
            << int(zov::kSqlServer) << "sales"
            << QStringList{"2024-01-02/sales_20240102030405.rar", "2024-01-03/sales_20240102030405.rar",
                           "2024-01-03/sales_20240103000000.rar"}
            << QStringList{"1|sales|2"} << "sales"
            << QStringList{TimeText("20240103000000") + "|2024-01-03/sales_20240103000000.rar",
                           time + "|2024-01-02/sales_20240102030405.rar"};
        QStringList twelve;
        QStringList numbered;
        for (int index = 1; index <= 12; ++index) {
            const QString name = QString::asprintf("db%02d", index);
            twelve << "2024-01-02/" + name + "_20240102030405.rar";
            numbered << QString::asprintf("%2d|", index) + name + "|1";
        }
        QTest::newRow("twelve databases")
            << int(zov::kMySql) << "" << twelve << numbered << "" << QStringList{};
        QTest::newRow("volumes") << int(zov::kMySql) << ""
                                 << QStringList{"2024-01-02/big_20240102030405.part2.rar",
                                                "2024-01-02/big_20240102030405.part1.rar"}
                                 << QStringList{"1|big|1"} << "big"
                                 << QStringList{time + "|2024-01-02/big_20240102030405.part1.rar"};
        QTest::newRow("names differing in case")
            << int(zov::kMySql) << ""
            << QStringList{"2024-01-02/Sales_20240102030405.rar", "2024-01-02/sales_20240103000000.rar"}
            << QStringList{"1|Sales|1", "2|sales|1"} << "sales"
            << QStringList{TimeText("20240103000000") + "|2024-01-02/sales_20240103000000.rar"};
        QTest::newRow("a MySQL name no file name holds")
            << int(zov::kMySql) << "" << QStringList{"2024-01-02/a@002fb_20240102030405.rar"}
            << QStringList{"1|a/b|1"} << "a/b"
            << QStringList{time + "|2024-01-02/a@002fb_20240102030405.rar"};
        QTest::newRow("a SQL Server name no file name holds")
            << int(zov::kSqlServer) << "a/b|c" << QStringList{"2024-01-02/a_b_20240102030405.rar"}
            << QStringList{"1|a/b|1"} << "a/b" << QStringList{time + "|2024-01-02/a_b_20240102030405.rar"};
    }
    void ListsTheDatabasesOfTheStorageFolder() {
        QFETCH(int, sqlType);
        QFETCH(QString, taskDatabases);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, databaseRows);
        QFETCH(QString, chosen);
        QFETCH(QStringList, backupRows);
        SqlServerCase test;
        MakeEntries(test.storage_, entries);
        const auto dialog = test.Open(sqlType, test.AddTask(sqlType, taskDatabases.toStdString()));
        QCOMPARE(Rows(List(*dialog, IdsOf(*dialog).databases)), databaseRows);
        if (chosen.isEmpty()) return;
        QVERIFY(test.Choose(*dialog, chosen));
        const QString tag = QString(QTest::currentDataTag()).replace(QRegularExpression("[^a-zA-Z]+"), "-");
        zov::gui::test::SaveScreenshot(*dialog, "database-restore-" + tag);
        QStringList expected;
        for (const QString& row : backupRows)
            expected << row.section('|', 0, 0) + "|" + Q(test.storage_) + row.section('|', 1);
        QCOMPARE(Rows(List(*dialog, IdsOf(*dialog).backups)), expected);
    }

    // A restore that cannot start says why.
    void AnEmptyListSaysWhy_data() {
        QTest::addColumn<QString>("task");
        QTest::addColumn<QString>("box");
        QTest::newRow("no task") << "none"
                                 << "未找到要还原的任务";
        QTest::newRow("a SQL Server task") << "sql server"
                                           << "任务[sql server]不是MySQL备份任务";
        QTest::newRow("no storage folder") << "missing"
                                           << "存储目录[%1]不存在";
        QTest::newRow("no backups") << "empty"
                                    << "存储目录[%1]中没有数据库备份";
    }
    void AnEmptyListSaysWhy() {
        QFETCH(QString, task);
        QFETCH(QString, box);
        SqlServerCase test;
        int id = 99;
        if (task == "sql server") id = test.AddTask(zov::kSqlServer, "sales");
        if (task == "missing") id = test.AddTask(zov::kMySql, "");
        if (task == "empty") {
            fs::create_directories(test.storage_ + "2024-01-02");
            id = test.AddTask(zov::kMySql, "");
        }
        const auto dialog = test.Open(zov::kMySql, id);
        QCOMPARE(test.Restore(*dialog, {}),
                 QStringList{box.contains("%1") ? box.arg(Q(test.storage_)) : box});
        QVERIFY(dialog->isVisible());
    }

    // "打开位置" shows the backup's folder; a backup gone since says so.
    void OpenLocationShowsTheBackupsFolder() {
        SqlServerCase test;
        const std::string archive = test.storage_ + "2024-01-02/sales_20240102030405.rar";
        zov::gui::test::WriteFile(archive, "x");
        const auto dialog = test.Open(zov::kSqlServer, test.AddTask(zov::kSqlServer, "sales"));
        QVERIFY(test.Choose(*dialog, "sales"));
        zov::RecordingShell shell;
        zov::SetShell(&shell);
        QAction* open = dialog->findChild<QAction*>("32831");
        open->trigger();
        fs::remove(archive);
        open->trigger();
        zov::SetShell(nullptr);
        QCOMPARE(shell.Opened(), std::vector<std::string>{test.storage_ + "2024-01-02/"});
        QCOMPARE(test.prompter_.Texts(),
                 QStringList{"SQL Servre的备份文件查找错误：" + Q(archive) + "\n\n请重试。"});
    }

    // Through the dialog the restore reaches the server: the sessions of the database end, and it is
    // restored from the .bak unpacked into a work folder, which goes afterwards; the record stays. The
    // database's name holds a '/', which its file name cannot hold.
    void SqlServerRestoreReachesTheServer() {
        SqlServerCase test;
        const std::string archive = test.SqlServerBackup("sales_2024", "the backup's bytes");
        QVERIFY(!archive.empty());
        const auto peer = test.StartPeer("[]", 0);
        QVERIFY(peer->port() != 0);
        const auto dialog = test.Open(zov::kSqlServer, test.AddTask(zov::kSqlServer, "sales/2024|other"));
        QVERIFY(test.Choose(*dialog, "sales/2024"));
        zov::gui::test::SaveScreenshot(*dialog, "sqlserver-restore");
        const QStringList asked = test.Restore(*dialog, {Prompter::Answer::Ok});
        QCOMPARE(asked, QStringList{"请问确认将数据库[sales/2024]还原至时间点[" + TimeText(kBackupStamp) +
                                    "]吗？\n\n注意：该还原操作将中断对数据库[sales/2024]的一切连接请求。"});
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(test.Boxes(2).value(1), QString("SQL Server数据库还原成功"));

        const std::vector<std::string> batches = peer->Batches();
        QVERIFY(std::find(batches.begin(), batches.end(), "exec killspid 'sales/2024'") != batches.end());
        const auto restore = std::find_if(batches.begin(), batches.end(), [](const std::string& batch) {
            return batch.starts_with("restore database [sales/2024] from disk='");
        });
        QVERIFY(restore != batches.end());
        QVERIFY2(
            restore->starts_with("restore database [sales/2024] from disk='" + test.folder_ / "cache/zov"),
            restore->c_str());
        QVERIFY2(restore->ends_with("/sales_2024_20240102030405.bak' with replace"), restore->c_str());
        const QStringList record = test.LogLines("SQL Server").back();
        QCOMPARE(record.value(4), QString("还原"));
        QCOMPARE(record.value(5).toStdString(), archive);
        QCOMPARE(record.value(8), QString("成功"));
        QVERIFY(test.CacheIsEmpty());
    }

    // Cancel in the SQL Server confirmation closes the dialog without a request.
    void ACancelledSqlServerConfirmationClosesWithoutARequest() {
        SqlServerCase test;
        zov::gui::test::WriteFile(test.storage_ + "2024-01-02/sales_20240102030405.rar", "x");
        const auto dialog = test.Open(zov::kSqlServer, test.AddTask(zov::kSqlServer, "sales"));
        QVERIFY(test.Choose(*dialog, "sales"));
        const int counted = zov::gui::UsageCounters().Value(zov::gui::Counter::RestoreMssql);
        QCOMPARE(test.Restore(*dialog, {Prompter::Answer::Cancel}).size(), 1);
        QVERIFY(!dialog->isVisible());
        QVERIFY(test.NothingPosted(1));
        QCOMPARE(zov::gui::UsageCounters().Value(zov::gui::Counter::RestoreMssql), counted);
    }

    // While a database is restored, a second restore of it does not start: the dialog says so and stays
    // open. Once the first ends, it may start.
    void ASecondRestoreOfADatabaseWaitsForTheFirst() {
        SqlServerCase test;
        QVERIFY(!test.SqlServerBackup("sales", "bytes").empty());
        const auto peer = test.StartPeer("[]", 2);
        const int id = test.AddTask(zov::kSqlServer, "sales");
        const auto first = test.Open(zov::kSqlServer, id);
        QVERIFY(test.Choose(*first, "sales"));
        test.Restore(*first, {Prompter::Answer::Ok});
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const std::string& batch : peer->Batches())
                    if (batch.starts_with("restore database [sales]")) return true;
                return false;
            },
            kWaitMs));

        const QString running = "数据库[sales]正在还原，请在本次还原结束后再试";
        const auto second = test.Open(zov::kSqlServer, id);
        QVERIFY(test.Choose(*second, "sales"));
        QCOMPARE(test.Restore(*second, {}), QStringList{running});
        QVERIFY(second->isVisible());

        QCOMPARE(test.Boxes(3).value(2), QString("SQL Server数据库还原成功"));
        QVERIFY(
            test.Restore(*second, {Prompter::Answer::Cancel}).value(0).startsWith("请问确认将数据库[sales]"));
    }

    // Through the dialog the rows of the backup come back into the real server, into the database whose
    // name no file name can hold, with one record; nothing stays in the cache.
    void MySqlRestoreBringsBackTheRowsOfTheBackup() {
        MySqlCase test;
        const std::string database = test.MakeDatabase("dia/log");
        const int id = test.BackedUpTask(database);
        const std::string before = test.Rows(database);
        test.Change(database);
        QVERIFY(test.Rows(database) != before);
        const auto dialog = test.Open(zov::kMySql, id);
        QVERIFY(test.Choose(*dialog, Q(database)));
        zov::gui::test::SaveScreenshot(*dialog, "mysql-restore");
        const QStringList asked = test.Restore(*dialog, {Prompter::Answer::Ok});
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith(Q("请问确认将数据库[" + database + "]还原至时间点[")),
                 qPrintable(asked[0]));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(test.Boxes(2).value(1), Q("MySQL 数据库 " + database + " 还原成功"));
        QCOMPARE(test.Rows(database), before);
        const QStringList record = test.LogLines("MySQL").back();
        QCOMPARE(record.value(4), QString("还原"));
        QCOMPARE(record.value(5), QString(zov::test::kTestServerService));
        QCOMPARE(record.value(6), List(*dialog, "1417").selectedItems().value(0)->text(1));
        QCOMPARE(record.value(8), QString("成功"));
        QVERIFY(test.CacheIsEmpty());
    }

    // Cancel in the MySQL confirmation keeps the dialog open with its choice, and posts nothing.
    void ACancelledMySqlConfirmationKeepsTheDialogOpen() {
        MySqlCase test;
        const std::string database = test.MakeDatabase("kept");
        const auto dialog = test.Open(zov::kMySql, test.BackedUpTask(database));
        QVERIFY(test.Choose(*dialog, Q(database)));
        QCOMPARE(test.Restore(*dialog, {Prompter::Answer::Cancel}).size(), 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(List(*dialog, "1320").selectedItems().value(0)->text(1), Q(database));
        QCOMPARE(List(*dialog, "1417").selectedItems().size(), 1);
        QVERIFY(test.NothingPosted(1));
    }

    // A refused login shows the server's words; Yes restores anyway (and the restore says the same), No
    // keeps the dialog open.
    void AFailedLoginAsksWhetherToGoOn_data() {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void AFailedLoginAsksWhetherToGoOn() {
        QFETCH(bool, goOn);
        MySqlCase test;
        const std::string database = test.MakeDatabase("login");
        const int id = test.BackedUpTask(database);
        zov::TaskInfo task;
        zov::gui::TaskStore().GetTaskById(id, task);
        task.rootPassword = "wrong";
        QVERIFY(zov::gui::TaskStore().ChangeTask(zov::kChangeModify, task, true, false));
        const auto dialog = test.Open(zov::kMySql, id);
        QVERIFY(test.Choose(*dialog, Q(database)));
        const QStringList asked =
            test.Restore(*dialog, {goOn ? Prompter::Answer::Yes : Prompter::Answer::No});
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith(
                     "数据库连接失败，将无法还原，请检查。\n\n错误信息：Access denied for user 'root'"),
                 qPrintable(asked[0]));
        QVERIFY(asked[0].endsWith("\n\n继续请点击 【是】"));
        QCOMPARE(dialog->isVisible(), !goOn);
        if (!goOn) {
            QVERIFY(test.NothingPosted(1));
            return;
        }
        const QString failed = test.Boxes(2).value(1);
        QVERIFY2(failed.startsWith("MySQL 数据库还原失败\n"), qPrintable(failed));
        QVERIFY(failed.contains("Access denied for user 'root'"));
    }
};

QTEST_MAIN(DatabaseRestoreDialogTest)
#include "DatabaseRestoreDialogTest.moc"
