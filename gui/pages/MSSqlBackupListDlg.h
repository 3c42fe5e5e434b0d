#pragma once

#include "gui/pages/DatabaseTaskList.h"

namespace zov::gui {

class CMSSqlBackupSetupDlg;

// The SQL Server task list: each task's instance, its databases ("{所有数据库}" for all), storage folder,
// compression and keep days.
class CMSSqlBackupListDlg : public DatabaseTaskList {
    Q_OBJECT

  public:
    CMSSqlBackupListDlg(CMSSqlBackupSetupDlg& editor, QWidget* parent);

  protected:
    QStringList Cells(const TaskInfo& task) const override;
    void OpenRestoreDialog(int taskId) override;
};

}  // namespace zov::gui
