#include <QAbstractButton>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/tasks/QelXml.h"
#include "gui/restore/RestoreEngine.h"
#include "gui/shell/PasswordDialogs.h"
#include "platform/Clock.h"
#include "support/GuiTestSupport.h"
#include "support/MySqlTestServer.h"
#include "support/NobodyChild.h"
#include "support/PasswordAnswerer.h"
#include "support/RecordingJob.h"
#include "support/RecordingPrompter.h"
#include "support/TdsPeer.h"

using zov::gui::MySqlRestoreRequest;
using zov::gui::RestoreEngine;
using zov::gui::SqlRestoreRequest;
using zov::gui::test::ReadFile;
using zov::gui::test::RecordingPrompter;
using zov::gui::test::TempProgramFolder;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 60000;
constexpr const char* kArchivePassword = "archive 口令";
constexpr const char* kSqlBak = "sales_20240102030405.bak";

std::string Today() { return zov::FormatLocalTime(zov::Now(), "%Y-%m-%d"); }

// The lines of today's log of a kind ("MySQL", "SQL Server"), split into columns.
std::vector<QStringList> LogLines(const TempProgramFolder& folder, const std::string& kind) {
    std::vector<QStringList> lines;
    const QString text = QString::fromStdString(ReadFile(folder / ("Log/" + kind + "/" + Today() + ".log")));
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) lines.push_back(line.split('\t'));
    return lines;
}

bool CacheIsEmpty(const TempProgramFolder& folder) {
    std::error_code error;
    return !fs::exists(folder / "cache") || fs::is_empty(folder / "cache", error);
}

// A program folder with the engine over a window, the archiver, and every box recorded.
class EngineCase {
  public:
    EngineCase() {
        zov::IniFile(zov::TempIniPath()).Write("rar_path", "SYSTEM", rar_);
        zov::IniFile(zov::ConfigIniPath()).Write("Dir", "LOG", folder_ / "Log/");
        zov::IniFile(zov::ConfigIniPath()).Write("ServerAccount", "MSSQL", "nobody");
    }

    // Waits until count boxes were shown; their texts.
    QStringList Boxes(int count) {
        if (!QTest::qWaitFor([&] { return prompter_.Texts().size() >= count && engine_.Running() == 0; },
                             kWaitMs))
            qWarning("the restores did not end in time");
        return prompter_.Texts();
    }

    // A SQL Server backup "bak/2024-01-02/sales_20240102030405.rar" of a .bak with the bytes, under the
    // archive password; "" when it could not be written.
    std::string SqlServerBackup(const std::string& bytes) const {
        const std::string bak = folder_ / ("work/" + std::string(kSqlBak));
        zov::gui::test::WriteFile(bak, bytes);
        fs::create_directories(folder_ / "bak/2024-01-02");
        zov::CZipOperator zip(rar_);
        if (!zip.CompressFile(bak, folder_ / "bak/2024-01-02/", kArchivePassword, "sales_20240102030405.rar"))
            return "";
        return folder_ / "bak/2024-01-02/sales_20240102030405.rar";
    }

    TempProgramFolder folder_;
    RecordingPrompter prompter_;
    QWidget window_;
    RestoreEngine engine_{&window_};
    const std::string rar_ = zov::gui::test::BuiltProgram("rar").toStdString();
};

// The MySQL restores against the test server: databases backed up by the engine, then changed.
class MySqlCase : public EngineCase {
  public:
    MySqlCase() { zov::test::UseTestServer(server_); }
    ~MySqlCase() {
        for (const std::string& database : databases_)
            zov::test::RunSql(server_, "DROP DATABASE IF EXISTS " + zov::test::QuotedName(database) + ";");
    }

    // A database of three rows backed up into "bak"; the path of its archive.
    std::string BackedUpDatabase(const std::string& prefix, std::string& database) {
        database = zov::test::UniqueDatabase(prefix);
        databases_.push_back(database);
        const std::string name = zov::test::QuotedName(database);
        zov::test::RunSql(
            server_, "CREATE DATABASE " + name + " CHARACTER SET utf8mb4;\nUSE " + name +
                         ";\nCREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(40)) CHARACTER SET "
                         "utf8mb4;\nINSERT INTO items VALUES (1, 'plain'), (2, '中文'), (3, 'smile 😀');\n");
        zov::CQelXML store;
        store.SetFilePath(zov::TaskDbPath());
        store.Load();
        zov::TaskInfo task;
        task.name = "mysql";
        task.flags = 0x06;
        task.sqlType = zov::kMySql;
        task.serviceName = zov::test::kTestServerService;
        task.database = database;
        task.rootPassword = server_.rootPassword;
        task.password = kArchivePassword;
        task.dest = folder_ / "bak";
        task.times = "01:00";
        store.ChangeTask(zov::kChangeAdd, task, true, false);
        taskId_ = task.id;
        zov::CBackup backup;
        zov::test::RecordingJob job;
        std::string message;
        if (backup.RunMySqlTask(task, Today(), rar_, message, job.Context()) == 0)
            qWarning("backup: %s", message.c_str());
        for (const auto& entry : fs::directory_iterator(folder_ / ("bak/" + Today()))) {
            const std::string file = entry.path().filename();
            if (file.starts_with(database + "_")) return entry.path();
        }
        return "";
    }

    std::string Rows(const std::string& database) {
        return zov::test::RunSql(server_, "SELECT id, name FROM items ORDER BY id;", database);
    }
    void Change(const std::string& database) {
        zov::test::RunSql(server_, "DELETE FROM items WHERE id = 2; UPDATE items SET name = 'changed';",
                          database);
    }

    MySqlRestoreRequest Request(const std::string& database, const std::string& archive) const {
        return {taskId_,          zov::test::kTestServerService, database, archive,
                kArchivePassword, server_.rootPassword};
    }
    // Posts the request as a restore dialog does.
    void Post(const MySqlRestoreRequest& request) {
        RestoreEngine* engine = &engine_;
        QMetaObject::invokeMethod(
            engine, [engine, request] { engine->RestoreMySql(request); }, Qt::QueuedConnection);
    }

    zov::test::MySqlTestServer server_ = zov::test::TestServer();
    std::vector<std::string> databases_;
    int taskId_ = 0;
};

}  // namespace

class RestoreEngineTest : public QObject {
    Q_OBJECT

  private slots:
    // The rows of the backup come back over the changes, with one record; nothing stays in the cache.
    void MySqlRestoreBringsBackTheRowsOfTheBackup() {
        MySqlCase mysql;
        QVERIFY(!mysql.server_.socket.empty());
        std::string database;
        const std::string archive = mysql.BackedUpDatabase("restored", database);
        QVERIFY(!archive.empty());
        const std::string before = mysql.Rows(database);
        mysql.Change(database);
        QVERIFY(mysql.Rows(database) != before);
        mysql.Post(mysql.Request(database, archive));
        QCOMPARE(mysql.Boxes(1),
                 QStringList{QString::fromStdString("MySQL 数据库 " + database + " 还原成功")});
        QCOMPARE(mysql.Rows(database), before);
        const auto lines = LogLines(mysql.folder_, "MySQL");
        QCOMPARE(lines.back().value(4), QString("还原"));
        QCOMPARE(lines.back().value(5), QString(zov::test::kTestServerService));
        QCOMPARE(lines.back().value(6).toStdString(), archive);
        QCOMPARE(lines.back().value(8), QString("成功"));
        QVERIFY(CacheIsEmpty(mysql.folder_));
    }

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
        const QStringList record = LogLines(mysql.folder_, "MySQL").back();
        QCOMPARE(record.value(8), QString("失败"));
        QVERIFY(record.value(9).startsWith(QString::fromStdString("还原MySQL数据库" + database + "失败。")));
        QVERIFY(record.value(9).contains("Access denied for user 'root'"));
        QVERIFY(CacheIsEmpty(mysql.folder_));
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
        QCOMPARE(LogLines(mysql.folder_, "MySQL").back().value(8), QString("失败"));
        QVERIFY(CacheIsEmpty(mysql.folder_));
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
        EngineCase engine;
        const std::string archive = engine.SqlServerBackup("the backup's bytes");
        QVERIFY(!archive.empty());
        zov::test::TdsPeer peer(engine.folder_ / "peer",
                                R"({"rules": [{"match": "^restore database", "delay": 1, "reply": )" +
                                    reply.toStdString() + "}]}");
        QVERIFY(peer.port() != 0);
        const zov::IniFile config(zov::ConfigIniPath());
        config.Write("Host", "MSSQL", "127.0.0.1");
        config.Write("Port", "MSSQL", std::to_string(peer.port()));
        config.Write("User", "MSSQL", "sa");
        config.Write("Password", "MSSQL", "p;w}d");

        const SqlRestoreRequest request{7, "MSSQLSERVER", "sales", archive, kArchivePassword};
        RestoreEngine* target = &engine.engine_;
        QMetaObject::invokeMethod(
            target, [target, request] { target->RestoreSqlServer(request); }, Qt::QueuedConnection);
        // While the server restores, the unpacked file is in the work folder the statement names, and the
        // server's account reads it.
        std::string bak;
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const std::string& batch : peer.Batches()) {
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
        QVERIFY(bak.ends_with(std::string("/") + kSqlBak));
        QVERIFY(zov::test::AsNobody([&] { return ReadFile(bak) == "the backup's bytes"; }));

        const QStringList boxes = engine.Boxes(1);
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].startsWith(box), qPrintable(boxes[0]));
        const std::vector<std::string> batches = peer.Batches();
        QVERIFY(std::find(batches.begin(), batches.end(), "exec killspid 'sales'") != batches.end());
        const QStringList record = LogLines(engine.folder_, "SQL Server").back();
        QCOMPARE(record.value(2), QString("7"));
        QCOMPARE(record.value(3), QString("---"));
        QCOMPARE(record.value(4), QString("还原"));
        QCOMPARE(record.value(5).toStdString(), archive);
        QCOMPARE(record.value(8), result);
        QVERIFY(CacheIsEmpty(engine.folder_));
    }

    // A cancelled password prompt ends the restore before the server is asked; nothing stays behind.
    void ACancelledPromptEndsTheSqlServerRestore() {
        EngineCase engine;
        const std::string archive = engine.SqlServerBackup("bytes");
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
        QVERIFY(LogLines(engine.folder_, "SQL Server").empty());
        QVERIFY(CacheIsEmpty(engine.folder_));
    }
};

QTEST_MAIN(RestoreEngineTest)
#include "RestoreEngineTest.moc"
