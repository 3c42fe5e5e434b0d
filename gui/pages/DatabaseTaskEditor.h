#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "engine/tasks/TaskInfo.h"
#include "gui/pages/DatabasePicker.h"
#include "gui/pages/SchedulePicker.h"
#include "gui/pages/TaskListChanged.h"
#include "gui/shell/UserCache.h"

class QLineEdit;

namespace zov::gui {

class CDropEdit;
class CMyButton;

// Whether the task is a database task of the type (kSqlServer, kMySql).
bool IsDatabaseTaskOf(const TaskInfo& task, int sqlType);

// What makes a database task editor the editor of its kind: its tasks, texts, icon and control ids.
struct DatabaseEditorLook {
    const char* dialogId;
    int icon;
    QString newTitle;
    TaskKind kind;
    int sqlType;
    Counter addCounter;
    int nameLength;  // the longest name the name field takes
    const char* name;
    const char* storage;
    const char* browse;
    const char* open;
    const char* password;
    const char* keepDays;
    const char* ok;
    const char* cancel;
    ScheduleRowLook schedule;
    DatabasePickerIds picker;
};

// The task editor of the SQL Server and MySQL pages: creates, modifies and deletes the tasks of its kind.
// The list sets the operation and the task and opens it; a save checks the form, then goes through the
// program's task store, which checks the task against the others (its messages are shown), writes task.db
// and the interface log record; the list of the kind then fills itself again. Delete needs no window. What
// names the server (the instance or the service) is the kind's own part.
class DatabaseTaskEditor : public QDialog {
    Q_OBJECT

  public:
    enum Operation { kModify = 1, kNew = 2, kDelete = 3 };

    void SetOperation(int operation, int taskId);
    // Does the operation: a delete at once (false: nothing to show), else fills the form for a new or the
    // stored task (true).
    bool Prepare();
    // Prepare, then the dialog modally when there is something to show.
    int Open();

    DatabasePicker* picker() const { return picker_; }

  protected:
    DatabaseTaskEditor(const DatabaseEditorLook& look, QWidget* parent);

    // The kind's part of a new task's form.
    virtual void SetServerDefaults() = 0;
    // The kind's part of a stored task's form; false when the task cannot be shown (it becomes a new one).
    virtual bool LoadServer(const TaskInfo& task) = 0;
    // The kind's part of the task from the form; false (its box shown) when it is not usable.
    virtual bool GatherServer(TaskInfo& task) = 0;
    // Questions before a save is checked; false when the user chose not to save.
    virtual bool ConfirmSave() { return true; }

    // The error box of a form check.
    void Refuse(const QString& text);
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void NewForm();
    void Load(const TaskInfo& task);
    // The task of the form; nullopt when a check failed (its box shown).
    std::optional<TaskInfo> Gather();
    void OnOk();
    void Browse();
    void OpenStorage();

    DatabaseEditorLook look_;
    QLineEdit* name_;
    CDropEdit* storage_;
    QLineEdit* password_;
    QLineEdit* keepDays_;
    SchedulePicker* schedule_;
    DatabasePicker* picker_;
    int operation_ = kNew;
    int taskId_ = 0;
    TaskInfo loaded_;
};

}  // namespace zov::gui
