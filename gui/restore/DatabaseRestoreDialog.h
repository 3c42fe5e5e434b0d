#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <string>
#include <vector>

#include "engine/restore/RestorePoints.h"
#include "engine/tasks/TaskInfo.h"

class QMenu;

namespace zov::gui {

class CSortListCtrl;
class RestoreEngine;

// What the SQL Server and MySQL restore dialogs share: for one database task, the databases whose backups
// its storage folder holds (the archives "<database>_<stamp>.rar" of its dated folders) with their number,
// the backups of the chosen database by time (the latest first), and the restore of the chosen backup,
// which the main window's restore engine runs once the kind's questions are answered. A restore that cannot
// start says why, also when the engine still restores that database. Each kind gives its values and its
// questions.
class CDatabaseRestoreDlg : public QDialog {
    Q_OBJECT

  public:
    // The values of one kind.
    struct Kind {
        QString caption;
        int icon;
        int sqlType;
        QString name;                   // "SQL Server", "MySQL"
        std::string TaskInfo::*server;  // the instance or service the backups go back to
        QString missingServer;          // the box when the task names none
        // The database whose backups have the title (the name before their stamps) for the task.
        std::string (*databaseOfTitle)(const std::string& title, const TaskInfo& task);
        QString confirmNote;      // the confirmation after "注意：", %1 the database
        QString locationCaption;  // "打开位置" without a chosen backup
        QString locationMissing;  // "打开位置" of a backup that is gone, before its path
        // Object names: the two lists, the two buttons and the two commands of the backups' menu.
        const char* databaseListId;
        const char* backupListId;
        const char* restoreId;
        const char* cancelId;
        const char* openLocationId;
        const char* restoreNowId;
    };

  protected:
    CDatabaseRestoreDlg(int taskId, const Kind& kind, QWidget* parent);

    // Whether the engine runs a restore of the chosen database.
    virtual bool IsRestoring(const RestoreEngine& engine) const = 0;
    // The kind's questions once every check passed, then the request posted to the engine or not; the
    // dialog closes or stays as the kind does.
    virtual void ConfirmRestore(RestoreEngine& engine, const QString& timeText) = 0;

    // "请问确认将数据库[..]还原至时间点[..]吗？" with the kind's note (OK/Cancel, Cancel the default): true
    // for OK.
    bool AskToRestore(const QString& timeText);

    const TaskInfo& task() const { return task_; }
    const std::string& database() const { return database_; }
    const std::string& backupFile() const { return backupFile_; }

  private:
    void BuildControls();
    // The task's values and backups; false, with the reason kept, when the lists stay empty.
    bool LoadTask(int taskId);
    void FillDatabaseList();
    void ShowBackups();
    void OnRestore();
    void OpenBackupLocation();

    const Kind& kind_;
    TaskInfo task_;
    // The backups by database name, each stamp once.
    std::map<std::string, std::vector<RestorePoint>> backups_;
    std::string database_;
    std::string backupFile_;
    QString emptyReason_;  // why the lists are empty

    CSortListCtrl* databases_;
    CSortListCtrl* backupList_;
    QMenu* menu_;
};

}  // namespace zov::gui
