#pragma once

#include <QDialog>

#include "engine/tasks/TaskInfo.h"

namespace zov::gui {

class CFileBackupSetupBaseDlg;
class CFileBackupSetupExtDlg;
class CMyButton;

// Creates, modifies and deletes file tasks. The list sets the operation and the task and opens it; a save
// goes through the program's task store, which checks the task first (its messages are shown), writes
// task.db and the interface log record; the file list then fills itself again. Delete needs no window.
class CFileBackupSetupDlg : public QDialog {
    Q_OBJECT

  public:
    enum Operation { kModify = 1, kNew = 2, kDelete = 3 };

    explicit CFileBackupSetupDlg(QWidget* parent);

    void SetOperation(int operation, int taskId);
    void SetCompressionAvailable(bool available);
    // Does the operation: a delete at once (false: nothing to show), else fills the pages for a new or
    // the stored task (true).
    bool Prepare();
    // Prepare, then the dialog modally when there is something to show.
    int Open();

    CFileBackupSetupBaseDlg* basePage() const { return base_; }
    CFileBackupSetupExtDlg* extPage() const { return ext_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ShowBasePage();
    void ShowExtPage();
    void OnOk();
    void OnCancel();
    void LoadPages(const TaskInfo& task);
    // The task of both pages; makeStorage: the user chose to have its missing storage folder made.
    TaskInfo Gather(bool& makeStorage);

    CFileBackupSetupBaseDlg* base_;
    CFileBackupSetupExtDlg* ext_;
    CMyButton* cancel_;
    int operation_ = kNew;
    int taskId_ = 0;
    bool compressionAvailable_ = true;
    TaskInfo loaded_;
};

}  // namespace zov::gui
