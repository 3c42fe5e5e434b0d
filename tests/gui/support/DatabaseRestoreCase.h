#pragma once

#include <QStringList>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "gui/restore/RestoreEngine.h"
#include "support/GuiTestSupport.h"
#include "support/MySqlTestServer.h"
#include "support/RecordingPrompter.h"
#include "support/TdsPeer.h"

// The database restores of the tests: a program folder with the main window's restore engine, the
// archiver, the task store and every box recorded; backups made as the system makes them.
namespace zov::gui::test {

inline constexpr const char* kArchivePassword = "archive 口令";
// The stamp of the SQL Server backups the tests write.
inline constexpr const char* kBackupStamp = "20240102030405";

class DatabaseRestoreCase {
  public:
    DatabaseRestoreCase();
    ~DatabaseRestoreCase();

    // A stored database task of the kind over "bak/" with the archive password; its id.
    int AddTask(int sqlType, const std::string& databases, const std::string& rootPassword = "");
    // A SQL Server backup "bak/2024-01-02/<title>_<kBackupStamp>.rar" of a .bak holding bytes, under the
    // archive password; "" when it could not be written.
    std::string SqlServerBackup(const std::string& title, const std::string& bytes) const;
    // A TDS peer that answers the restore statement with reply after a delay, where config.ini points.
    std::unique_ptr<zov::test::TdsPeer> StartPeer(const std::string& reply, int delaySeconds) const;

    // Waits until count boxes were shown in all and no restore runs; their texts.
    QStringList Boxes(int count);
    // The lines of today's log of the kind ("MySQL", "SQL Server"), split into columns.
    std::vector<QStringList> LogLines(const std::string& kind) const;
    bool CacheIsEmpty() const;

    TempProgramFolder folder_;
    const std::string storage_ = folder_ / "bak/";
    RecordingPrompter prompter_;
    QWidget window_;
    RestoreEngine engine_{&window_};
    const std::string rar_ = BuiltProgram("rar").toStdString();
};

// The same against the test MariaDB server: databases of three rows, backed up by the engine.
class MySqlRestoreCase : public DatabaseRestoreCase {
  public:
    MySqlRestoreCase();
    ~MySqlRestoreCase();

    // A new database (prefix + a unique number) of three rows; its name.
    std::string MakeDatabase(const std::string& prefix);
    // A MySQL task of the database backed up by the engine; its id.
    int BackedUpTask(const std::string& database);
    // The archive of the database's last backup; "" when there is none.
    std::string ArchiveOf(const std::string& database) const;
    std::string Rows(const std::string& database);
    // Deletes a row and changes the others.
    void Change(const std::string& database);

    zov::test::MySqlTestServer server_ = zov::test::TestServer();

  private:
    std::vector<std::string> databases_;
};

}  // namespace zov::gui::test
