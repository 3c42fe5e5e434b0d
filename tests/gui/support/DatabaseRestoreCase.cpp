#include "support/DatabaseRestoreCase.h"

#include <QTest>
#include <filesystem>

#include "engine/archive/ZipOperator.h"
#include "engine/backup/Backup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/shell/TaskStore.h"
#include "platform/Clock.h"
#include "support/RecordingJob.h"

namespace zov::gui::test {
namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 60000;

std::string Today() { return FormatLocalTime(Now(), "%Y-%m-%d"); }

}  // namespace

DatabaseRestoreCase::DatabaseRestoreCase() {
    IniFile(TempIniPath()).Write("rar_path", "SYSTEM", rar_);
    IniFile(ConfigIniPath()).Write("Dir", "LOG", folder_ / "Log/");
    IniFile(ConfigIniPath()).Write("ServerAccount", "MSSQL", "nobody");
    TaskStore().SetFilePath(TaskDbPath());
    TaskStore().Load();
}

DatabaseRestoreCase::~DatabaseRestoreCase() { TaskStore().SetFilePath(""); }

int DatabaseRestoreCase::AddTask(int sqlType, const std::string& databases, const std::string& rootPassword) {
    TaskInfo task;
    task.name = sqlType == kSqlServer ? "sql server" : "mysql";
    task.flags = kTaskCompress | kTaskScheduled;
    task.sqlType = sqlType;
    task.instance = "MSSQLSERVER";
    task.serviceName = zov::test::kTestServerService;
    task.database = databases;
    task.rootPassword = rootPassword;
    task.password = kArchivePassword;
    task.dest = storage_;
    task.times = "01:00";
    if (!TaskStore().ChangeTask(kChangeAdd, task, true, false)) qWarning("the task was not stored");
    return task.id;
}

std::string DatabaseRestoreCase::SqlServerBackup(const std::string& title, const std::string& bytes) const {
    const std::string name = title + "_" + kBackupStamp;
    const std::string bak = folder_ / ("work/" + name + ".bak");
    WriteFile(bak, bytes);
    const std::string dated = storage_ + "2024-01-02/";
    fs::create_directories(dated);
    CZipOperator zip(rar_);
    if (!zip.CompressFile(bak, dated, kArchivePassword, name + ".rar")) return "";
    return dated + name + ".rar";
}

std::unique_ptr<zov::test::TdsPeer> DatabaseRestoreCase::StartPeer(const std::string& reply,
                                                                   int delaySeconds) const {
    auto peer = std::make_unique<zov::test::TdsPeer>(
        folder_ / "peer", R"({"rules": [{"match": "^restore database", "delay": )" +
                              std::to_string(delaySeconds) + R"(, "reply": )" + reply + "}]}");
    const IniFile config(ConfigIniPath());
    config.Write("Host", "MSSQL", "127.0.0.1");
    config.Write("Port", "MSSQL", std::to_string(peer->port()));
    config.Write("User", "MSSQL", "sa");
    config.Write("Password", "MSSQL", "p;w}d");
    return peer;
}

QStringList DatabaseRestoreCase::Boxes(int count) {
    if (!QTest::qWaitFor([&] { return prompter_.Texts().size() >= count && engine_.Running() == 0; },
                         kWaitMs))
        qWarning("the restores did not end in time");
    return prompter_.Texts();
}

std::vector<QStringList> DatabaseRestoreCase::LogLines(const std::string& kind) const {
    std::vector<QStringList> lines;
    const QString text = QString::fromStdString(ReadFile(folder_ / ("Log/" + kind + "/" + Today() + ".log")));
    for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) lines.push_back(line.split('\t'));
    return lines;
}

bool DatabaseRestoreCase::CacheIsEmpty() const {
    std::error_code error;
    return !fs::exists(folder_ / "cache") || fs::is_empty(folder_ / "cache", error);
}

MySqlRestoreCase::MySqlRestoreCase() { zov::test::UseTestServer(server_); }

MySqlRestoreCase::~MySqlRestoreCase() {
    for (const std::string& database : databases_)
        zov::test::RunSql(server_, "DROP DATABASE IF EXISTS " + zov::test::QuotedName(database) + ";");
}

std::string MySqlRestoreCase::MakeDatabase(const std::string& prefix) {
    const std::string database = zov::test::UniqueDatabase(prefix);
    databases_.push_back(database);
    const std::string name = zov::test::QuotedName(database);
    zov::test::RunSql(server_,
                      "CREATE DATABASE " + name + " CHARACTER SET utf8mb4;\nUSE " + name +
                          ";\nCREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(40)) CHARACTER SET "
                          "utf8mb4;\nINSERT INTO items VALUES (1, 'plain'), (2, '中文'), (3, 'smile 😀');\n");
    return database;
}

int MySqlRestoreCase::BackedUpTask(const std::string& database) {
    const int id = AddTask(kMySql, database, server_.rootPassword);
    TaskInfo task;
    TaskStore().GetTaskById(id, task);
    CBackup backup;
    zov::test::RecordingJob job;
    std::string message;
    if (backup.RunMySqlTask(task, Today(), rar_, message, job.Context()) == 0)
        qWarning("backup: %s", message.c_str());
    return id;
}

std::string MySqlRestoreCase::ArchiveOf(const std::string& database) const {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(storage_ + Today(), error)) {
        if (entry.path().filename().string().starts_with(database + "_")) return entry.path();
    }
    return "";
}

std::string MySqlRestoreCase::Rows(const std::string& database) {
    return zov::test::RunSql(server_, "SELECT id, name FROM items ORDER BY id;", database);
}

void MySqlRestoreCase::Change(const std::string& database) {
    zov::test::RunSql(server_, "DELETE FROM items WHERE id = 2; UPDATE items SET name = 'changed';",
                      database);
}

}  // namespace zov::gui::test
