#pragma once

#include "gui/pages/TaskListPage.h"

class QMenu;

namespace zov::gui {

class CFileBackupSetupDlg;
class CFRSetupDlg;

// The file task list: every file task with its main settings and its scheduled-runs box; new, modify and
// delete through the editor, run now, restore from history, open the source or storage folder and clear a
// stale running mark.
// Controls carry their ids as object names.
class CFileBackupListDlg : public TaskListPage {
    Q_OBJECT

  public:
    CFileBackupListDlg(CFileBackupSetupDlg& editor, QWidget* parent);

    CFRSetupDlg* restoreDialog() const { return restore_; }
    void BuildMenu(QMenu& menu) override;

  public slots:
    void NewTask() override;
    void ModifyTask() override;
    void DeleteTask();
    void RunTask();
    // Opens the file restore dialog for the selected row's task.
    void RestoreTask();
    void OpenSourceFolder();
    void OpenStorageFolder();
    void ClearRunningMark();

  protected:
    bool Shows(const TaskInfo& task) const override;
    QStringList Cells(const TaskInfo& task) const override;
    void Filled(const std::vector<TaskInfo>& listed) override;

  private:
    // Opens the folder in the column of the selected row.
    void OpenSelectedFolder(int column);
    // Opens the editor for the operation on the task.
    void OpenEditor(int taskId, int operation);

    CFileBackupSetupDlg& editor_;
    CFRSetupDlg* restore_;
    bool modifyHintPending_ = true;
};

}  // namespace zov::gui
