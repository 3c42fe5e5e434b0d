#pragma once

#include "gui/pages/TaskListPage.h"

class QMenu;

namespace zov::gui {

class CFileBackupSetupDlg;
class CFRSetupDlg;
class CMyButton;

// The file task list: every file task with its main settings and its scheduled-runs box; new, modify and
// delete through the editor, run now, restore from history, open the source or storage folder and clear a
// stale running mark.
// Controls carry their ids as object names.
class CFileBackupListDlg : public TaskListPage {
    Q_OBJECT

  public:
    static constexpr int kRunButtonDelayMs = 500;

    CFileBackupListDlg(CFileBackupSetupDlg& editor, QWidget* parent);

    CMyButton* runButton() const { return run_; }
    CFRSetupDlg* restoreDialog() const { return restore_; }
    // The context menu of the selected row, as a right click shows it.
    void BuildMenu(QMenu& menu);

  public slots:
    void NewTask();
    void ModifyTask();
    void DeleteTask();
    void RunTask();
    // Opens the file restore dialog for the selected row's task.
    void RestoreTask();
    void OpenSourceFolder();
    void OpenStorageFolder();
    void ClearRunningMark();
    // A run at once of the task ended: the run button comes back after 500 ms when its row is selected.
    void OnRunEnded(int taskId);

  signals:
    // Run the task now (the page runs it).
    void runRequested(int taskId);

  protected:
    bool Shows(const TaskInfo& task) const override;
    QStringList Cells(const TaskInfo& task) const override;
    void Filled(const std::vector<TaskInfo>& listed) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateRunButton();
    // Opens the folder in the column of the selected row.
    void OpenSelectedFolder(int column);
    void ShowMenu(const QPoint& at);
    // Opens the editor for the operation on the task.
    void OpenEditor(int taskId, int operation);

    CFileBackupSetupDlg& editor_;
    CFRSetupDlg* restore_;
    CMyButton* run_;
    bool modifyHintPending_ = true;
};

}  // namespace zov::gui
