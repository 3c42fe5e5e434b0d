#pragma once

#include "gui/pages/TaskListPage.h"
#include "gui/shell/UserCache.h"

namespace zov::gui {

class DatabaseTaskEditor;

// What makes a database task list the list of its kind: its tasks, columns and control ids, the column of
// the storage folder and the counter of its runs at once.
struct DatabaseListLook {
    TaskKind kind;
    int sqlType;
    std::vector<TaskListPage::Column> columns;
    const char* pageId;
    const char* listId;
    const char* runId;
    const char* addId;
    const char* modifyId;
    const char* deleteId;
    int storageColumn;
    Counter runCounter;
};

// The task list of the SQL Server and MySQL pages: the tasks of its kind with their main settings and their
// scheduled-runs box; new, modify and delete through the editor, run now, restore from history and open
// the storage folder. Without a selected row the commands do nothing. Controls carry their ids as object
// names.
class DatabaseTaskList : public TaskListPage {
    Q_OBJECT

  public:
    void BuildMenu(QMenu& menu) override;

  public slots:
    void NewTask() override;
    void ModifyTask() override;
    void DeleteTask();
    void RunTask();
    // Opens the restore dialog of the selected row's task.
    void RestoreTask();
    void OpenStorageFolder();

  protected:
    DatabaseTaskList(const DatabaseListLook& look, DatabaseTaskEditor& editor, QWidget* parent);

    // Whether a run at once can start at all; says why not.
    virtual bool CanRun() { return true; }
    // Runs the restore dialog of the kind for the task.
    virtual void OpenRestoreDialog(int taskId) = 0;
    bool Shows(const TaskInfo& task) const override;
    void Filled(const std::vector<TaskInfo>& listed) override;

  private:
    void OpenEditor(int taskId, int operation);

    DatabaseListLook look_;
    DatabaseTaskEditor& editor_;
};

}  // namespace zov::gui
