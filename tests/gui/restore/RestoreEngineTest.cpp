#include <QAbstractButton>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/mysql/MySqlRun.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/restore/MySqlLogin.h"
#include "gui/restore/RestoreEngine.h"
#include "gui/shell/PasswordDialogs.h"
#include "gui/shell/TaskStore.h"
#include "support/DatabaseRestoreCase.h"
#include "support/NobodyChild.h"
#include "support/PasswordAnswerer.h"
#include "support/RecordingJob.h"
#include "support/SilentServer.h"

using zov::gui::MySqlRestoreRequest;
using zov::gui::RestoreEngine;
using zov::gui::SqlRestoreRequest;
using zov::gui::test::DatabaseRestoreCase;
using zov::gui::test::kArchivePassword;
using zov::gui::test::ReadFile;

namespace {

constexpr int kWaitMs = 60000;

// The MySQL restores against the test server: databases backed up by the engine, then changed, and
// restored by requests posted as a restore dialog posts them.
class MySqlCase : public zov::gui::test::MySqlRestoreCase {
  public:
    // A database of three rows backed up into "bak"; the path of its archive.
    std::string BackedUpDatabase(const std::string& prefix, std::string& database) {
        database = MakeDatabase(prefix);
        taskId_ = BackedUpTask(database);
        return ArchiveOf(database);
    }

    MySqlRestoreRequest Request(const std::string& database, const std::string& archive) const {
        return {taskId_,          zov::test::kTestServerService, database, archive,
                kArchivePassword, server_.rootPassword};
    }
    void Post(const MySqlRestoreRequest& request) {
        RestoreEngine* engine = &engine_;
        QMetaObject::invokeMethod(
            engine, [engine, request] { engine->RestoreMySql(request); }, Qt::QueuedConnection);
    }

    // An archive "bak/<database>_20240102030405.rar" holding the entry at path (a link stays a link) as
    // "<database>.sql"; its path.
    std::string ArchiveHolding(const std::string& database, const std::string& path) {
        const std::string pack = folder_ / "pack/";
        std::filesystem::create_directories(pack);
        std::filesystem::create_directories(folder_ / "bak");
        std::filesystem::rename(path, pack + database + ".sql");
        const std::string archive = folder_ / ("bak/" + database + "_20240102030405.rar");
        zov::CZipOperator zip(rar_);
        if (!zip.RunRar({"a", "-ap/", archive, pack})) qWarning("archive: %s", zip.message().c_str());
        std::filesystem::remove_all(pack);
        return archive;
    }

    // Every file under Log/, one after the other.
    std::string AllLogs() const {
        std::string text;
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_ / "Log", error)) {
            if (entry.is_regular_file()) text += ReadFile(entry.path());
        }
        return text;
    }

    int taskId_ = 0;
};

}  // namespace

class RestoreEngineTest : public QObject {
    Q_OBJECT

  private slots:
    // A refused login fails with the server's words in the box and the record, at once: an empty password
    // is never waited for.
    void ARefusedLoginFailsWithTheServersText_data() {
        QTest::addColumn<QString>("rootPassword");
        QTest::newRow("wrong") << "wrong";
        QTest::newRow("empty") << "";
    }
    void ARefusedLoginFailsWithTheServersText() {
        QFETCH(QString, rootPassword);
        MySqlCase mysql;
        std::string database;
        const std::string archive = mysql.BackedUpDatabase("refused", database);
        MySqlRestoreRequest request = mysql.Request(database, archive);
        request.rootPassword = rootPassword.toStdString();
        const auto start = std::chrono::steady_clock::now();
        mysql.Post(request);
        const QStringList boxes = mysql.Boxes(1);
        QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(20));
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith("MySQL 数据库还原失败\n"), qPrintable(boxes[0]));
        QVERIFY2(boxes[0].contains("Access denied for user 'root'"), qPrintable(boxes[0]));
        const QStringList record = mysql.LogLines("MySQL").back();
        QCOMPARE(record.value(8), QString("失败"));
        QVERIFY(record.value(9).startsWith(QString::fromStdString("还原MySQL数据库" + database + "失败。")));
        QVERIFY(record.value(9).contains("Access denied for user 'root'"));
        QVERIFY(mysql.CacheIsEmpty());
    }

    // The login test, the dumps and the restores of a task reach the server the task names through the
    // socket of its own option file (not the client default); a config.ini [MYSQL] Socket wins over it,
    // and then all three fail naming that socket.
    void ATaskReachesItsServerWhereItsOptionsSay_data() {
        QTest::addColumn<bool>("deadSocket");
        QTest::newRow("the server's own socket") << false;
        QTest::newRow("config.ini [MYSQL] Socket") << true;
    }
    void ATaskReachesItsServerWhereItsOptionsSay() {
        QFETCH(bool, deadSocket);
        MySqlCase mysql;
        const zov::IniFile config(zov::ConfigIniPath());
        config.Write("Socket", "MYSQL", "");
        std::string database;
        const std::string archive = mysql.BackedUpDatabase("reach", database);
        QVERIFY(!archive.empty());
        const std::string dead = mysql.folder_ / "dead.sock";
        if (deadSocket) config.Write("Socket", "MYSQL", dead);
        const std::string expected = deadSocket ? dead : "";

        std::string error;
        const bool loggedIn =
            zov::gui::TestLogin(zov::test::kTestServerService, mysql.server_.rootPassword, error);
        QCOMPARE(loggedIn, !deadSocket);
        QVERIFY2(error.find(expected) != std::string::npos, error.c_str());

        zov::TaskInfo task;
        zov::gui::TaskStore().GetTaskById(mysql.taskId_, task);
        zov::CBackup backup;
        zov::test::RecordingJob job;
        std::string message;
        QCOMPARE(backup.RunMySqlTask(task, "2024-06-01", mysql.rar_, message, job.Context()),
                 deadSocket ? 0 : 1);
        QVERIFY2(message.find(expected) != std::string::npos, message.c_str());

        const std::string rows = mysql.Rows(database);
        mysql.Change(database);
        mysql.Post(mysql.Request(database, archive));
        const std::string box = mysql.Boxes(1).value(0).toStdString();
        if (deadSocket) {
            QVERIFY2(box.starts_with("MySQL 数据库还原失败\n") && box.find(dead) != std::string::npos,
                     box.c_str());
        } else {
            QCOMPARE(box, "MySQL 数据库 " + database + " 还原成功");
            QCOMPARE(mysql.Rows(database), rows);
        }
    }

    // An archive without the dump restores nothing: the client is not run.
    void AnArchiveWithoutTheDumpFails() {
        MySqlCase mysql;
        const std::string database = zov::test::UniqueDatabase("nodump");
        const std::string other = mysql.folder_ / "work/other.sql";
        zov::gui::test::WriteFile(other, "DROP DATABASE mysql;");
        zov::CZipOperator zip(mysql.rar_);
        QVERIFY(zip.CompressFile(other, mysql.folder_ / "bak/", "", database + "_20240102030405.rar"));
        mysql.Post(mysql.Request(database, mysql.folder_ / ("bak/" + database + "_20240102030405.rar")));
        QCOMPARE(mysql.Boxes(1).value(0).toStdString(),
                 "MySQL 数据库还原失败\n备份文件中没有SQL文件" + database + ".sql");
        QCOMPARE(mysql.LogLines("MySQL").back().value(8), QString("失败"));
        QVERIFY(mysql.CacheIsEmpty());
    }

    // The dump reaches the client only as SQL: a line that would run a command on the machine is refused
    // and fails the restore, the command never runs.
    void NoLineOfTheDumpRunsACommand_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("\\!") << "\\! touch ";
        QTest::newRow("system") << "system touch ";
    }
    void NoLineOfTheDumpRunsACommand() {
        QFETCH(QString, line);
        MySqlCase mysql;
        const std::string database = mysql.MakeDatabase("sandbox");
        const std::string made = mysql.folder_ / "made";
        zov::gui::test::WriteFile(mysql.folder_ / "dump.sql",
                                  "CREATE TABLE t (id INT);\n" + line.toStdString() + made + "\n");
        const std::string archive = mysql.ArchiveHolding(database, mysql.folder_ / "dump.sql");
        mysql.Post(mysql.Request(database, archive));
        const QString box = mysql.Boxes(1).value(0);
        QVERIFY2(box.startsWith("MySQL 数据库还原失败\n"), qPrintable(box));
        QVERIFY2(box.contains("sandbox"), qPrintable(box));
        QVERIFY(!std::filesystem::exists(made));
        const QStringList record = mysql.LogLines("MySQL").back();
        QCOMPARE(record.value(8), QString("失败"));
        QVERIFY2(record.value(9).contains("sandbox"), qPrintable(record.value(9)));
        QVERIFY(mysql.CacheIsEmpty());
    }

    // A dump that is a link (here to a secret file) is not read: the restore fails naming it, and no word of
    // the file reaches a box or a log.
    void ADumpThatIsALinkIsNotRead() {
        MySqlCase mysql;
        const std::string database = mysql.MakeDatabase("linked");
        const std::string secret = mysql.folder_ / "secret.txt";
        zov::gui::test::WriteFile(secret, "root:secret-hash-7f3a:19000:0:99999:7:::\n");
        std::filesystem::create_symlink(secret, mysql.folder_ / "dump.sql");
        const std::string archive = mysql.ArchiveHolding(database, mysql.folder_ / "dump.sql");
        mysql.Post(mysql.Request(database, archive));
        const QString box = mysql.Boxes(1).value(0);
        QVERIFY2(box.startsWith("MySQL 数据库还原失败\n"), qPrintable(box));
        QVERIFY2(box.contains(QString::fromStdString(database + ".sql")), qPrintable(box));
        QVERIFY(!box.contains("secret-hash"));
        QCOMPARE(mysql.LogLines("MySQL").back().value(8), QString("失败"));
        QVERIFY(mysql.AllLogs().find("secret-hash") == std::string::npos);
        QVERIFY(mysql.CacheIsEmpty());
    }

    // A database that was dropped is made again, and the dump fills it: the same rows, 4-byte characters
    // included.
    void ADroppedDatabaseIsRestored() {
        MySqlCase mysql;
        std::string database;
        const std::string archive = mysql.BackedUpDatabase("dropped", database);
        const std::string rows = mysql.Rows(database);
        QVERIFY2(rows.find("smile 😀") != std::string::npos, rows.c_str());
        zov::test::RunSql(mysql.server_, "DROP DATABASE " + zov::test::QuotedName(database) + ";");
        mysql.Post(mysql.Request(database, archive));
        QCOMPARE(mysql.Boxes(1).value(0).toStdString(), "MySQL 数据库 " + database + " 还原成功");
        QCOMPARE(mysql.Rows(database), rows);
    }

    // A server that takes the connection and never answers, on its socket or its port, ends the restore
    // within the client's connect time-out, naming where it went.
    void ASilentServerEndsTheRestoreWithinItsBound_data() {
        QTest::addColumn<QString>("key");
        QTest::newRow("socket") << "Socket";
        QTest::newRow("port") << "Port";
    }
    void ASilentServerEndsTheRestoreWithinItsBound() {
        QFETCH(QString, key);
        const zov::MySqlWaitBounds saved = zov::MySqlBounds();
        zov::SetMySqlBounds({std::chrono::seconds(2), std::chrono::seconds(3)});
        MySqlCase mysql;
        std::string database;
        const std::string archive = mysql.BackedUpDatabase("silent", database);
        const zov::test::SilentServer port;
        const zov::test::SilentServer socket(mysql.folder_ / "silent.sock");
        const zov::IniFile config(zov::ConfigIniPath());
        config.Write("Socket", "MYSQL", key == "Socket" ? socket.path() : "");
        if (key == "Port") config.Write("Port", "MYSQL", port.port());
        const std::string address = key == "Socket" ? socket.path() : "127.0.0.1:" + port.port();
        const auto start = std::chrono::steady_clock::now();
        mysql.Post(mysql.Request(database, archive));
        const QString box = mysql.Boxes(1).value(0);
        const auto took = std::chrono::steady_clock::now() - start;
        zov::SetMySqlBounds(saved);
        qInfo("%s: %lld ms", qPrintable(key), static_cast<long long>(took / std::chrono::milliseconds(1)));
        QVERIFY(took < std::chrono::seconds(8));
        QVERIFY2(box.startsWith("MySQL 数据库还原失败\n"), qPrintable(box));
        QVERIFY2(box.contains(QString::fromStdString(address)), qPrintable(box));
        QCOMPARE(mysql.LogLines("MySQL").back().value(8), QString("失败"));
    }

    // Two requests posted one after the other each restore their own database.
    void TwoRequestsInARowDoNotOverwriteEachOther() {
        MySqlCase mysql;
        std::string first, second;
        const std::string firstArchive = mysql.BackedUpDatabase("first", first);
        const std::string secondArchive = mysql.BackedUpDatabase("second", second);
        const std::string rows = mysql.Rows(first);
        mysql.Change(first);
        mysql.Change(second);
        mysql.Post(mysql.Request(first, firstArchive));
        mysql.Post(mysql.Request(second, secondArchive));
        QStringList boxes = mysql.Boxes(2);
        boxes.sort();
        QStringList expected{QString::fromStdString("MySQL 数据库 " + first + " 还原成功"),
                             QString::fromStdString("MySQL 数据库 " + second + " 还原成功")};
        expected.sort();
        QCOMPARE(boxes, expected);
        QCOMPARE(mysql.Rows(first), rows);
        QCOMPARE(mysql.Rows(second), rows);
    }

    // The archive is unpacked into a private work folder of the cache folder, the database's sessions are
    // ended and it is restored from the .bak there; the work folder goes, the record stays.
    void SqlServerRestoreRunsFromAWorkFolder_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("result");
        QTest::newRow("restored") << "[]"
                                  << "SQL Server数据库还原成功"
                                  << "成功";
        QTest::newRow("refused") << R"([{"error": [3159, "The tail of the log has not been backed up."]}])"
                                 << "SQL Server数据库还原失败\n"
                                 << "失败";
    }
    void SqlServerRestoreRunsFromAWorkFolder() {
        QFETCH(QString, reply);
        QFETCH(QString, box);
        QFETCH(QString, result);
        DatabaseRestoreCase engine;
        const std::string archive = engine.SqlServerBackup("sales", "the backup's bytes");
        QVERIFY(!archive.empty());
        const auto peer = engine.StartPeer(reply.toStdString(), 1);
        QVERIFY(peer->port() != 0);

        const SqlRestoreRequest request{7, "MSSQLSERVER", "sales", archive, kArchivePassword};
        RestoreEngine* target = &engine.engine_;
        QMetaObject::invokeMethod(
            target, [target, request] { target->RestoreSqlServer(request); }, Qt::QueuedConnection);
        // While the server restores, the unpacked file is in the work folder the statement names, and the
        // server's account reads it.
        std::string bak;
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const std::string& batch : peer->Batches()) {
                    if (batch.starts_with("restore database [sales] from disk='")) bak = batch;
                }
                return !bak.empty();
            },
            kWaitMs));
        bak = bak.substr(bak.find('\'') + 1);
        bak = bak.substr(0, bak.find('\''));
        QVERIFY2(bak.starts_with(engine.folder_ / "cache/zovui_") ||
                     bak.starts_with(engine.folder_ / "cache/zovsvc_"),
                 bak.c_str());
        QVERIFY(bak.ends_with("/sales_20240102030405.bak"));
        QVERIFY(zov::test::AsNobody([&] { return ReadFile(bak) == "the backup's bytes"; }));

        const QStringList boxes = engine.Boxes(1);
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith(box), qPrintable(boxes[0]));
        const std::vector<std::string> batches = peer->Batches();
        QVERIFY(std::find(batches.begin(), batches.end(), "exec killspid 'sales'") != batches.end());
        const QStringList record = engine.LogLines("SQL Server").back();
        QCOMPARE(record.value(2), QString("7"));
        QCOMPARE(record.value(3), QString("---"));
        QCOMPARE(record.value(4), QString("还原"));
        QCOMPARE(record.value(5).toStdString(), archive);
        QCOMPARE(record.value(8), result);
        QVERIFY(engine.CacheIsEmpty());
    }

    // While a database is restored, a second restore of it ends at once in a box (names with letters
    // folded, the default instance under either name); once the first ends, it may start again.
    void ASecondRestoreOfADatabaseIsRefusedWhileTheFirstRuns() {
        DatabaseRestoreCase engine;
        const std::string archive = engine.SqlServerBackup("sales", "bytes");
        const auto peer = engine.StartPeer("[]", 2);
        engine.engine_.RestoreSqlServer({7, "MSSQLSERVER", "sales", archive, kArchivePassword});
        engine.engine_.RestoreSqlServer({7, "", "Sales", archive, kArchivePassword});
        QCOMPARE(engine.prompter_.Texts(),
                 QStringList{"SQL Server数据库还原失败:数据库[Sales]正在还原，请在本次还原结束后再试"});
        QCOMPARE(engine.Boxes(2).value(1), QString("SQL Server数据库还原成功"));
        QVERIFY(!engine.engine_.IsRestoring(SqlRestoreRequest{7, "", "SALES", archive, ""}));
    }

    // A cancelled password prompt ends the restore before the server is asked; nothing stays behind.
    void ACancelledPromptEndsTheSqlServerRestore() {
        DatabaseRestoreCase engine;
        const std::string archive = engine.SqlServerBackup("sales", "bytes");
        QVERIFY(!archive.empty());
        int prompts = 0;
        zov::gui::test::PasswordAnswerer answerer([&](zov::gui::CInputPwdDlg& dialog) {
            ++prompts;
            zov::gui::test::ButtonOf(dialog, "取 消")->click();
        });
        engine.engine_.RestoreSqlServer({7, "", "sales", archive, "wrong"});
        const QStringList boxes = engine.Boxes(1);
        QCOMPARE(prompts, 1);
        QVERIFY2(boxes.value(0).startsWith("SQL Server数据库还原失败:解压失败"), qPrintable(boxes.value(0)));
        QVERIFY(engine.LogLines("SQL Server").empty());
        QVERIFY(engine.CacheIsEmpty());
    }
};

QTEST_MAIN(RestoreEngineTest)
#include "RestoreEngineTest.moc"
