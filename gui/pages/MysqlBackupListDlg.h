#pragma once

#include "gui/pages/DatabaseTaskList.h"

namespace zov::gui {

class CMysqlBackupSetupDlg;

// The MySQL task list: each task's service, storage folder, compression and keep days. A run at once needs
// the server's dump tool.
class CMysqlBackupListDlg : public DatabaseTaskList {
    Q_OBJECT

  public:
    CMysqlBackupListDlg(CMysqlBackupSetupDlg& editor, QWidget* parent);

  protected:
    QStringList Cells(const TaskInfo& task) const override;
    void OpenRestoreDialog(int taskId) override;
    bool CanRun() override;
};

}  // namespace zov::gui
