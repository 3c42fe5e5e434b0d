#include "gui/pages/MSSqlBackupDlg.h"

#include "gui/pages/DatabaseLogViews.h"
#include "gui/pages/MSSqlBackupListDlg.h"
#include "gui/pages/MSSqlBackupSetupDlg.h"

namespace zov::gui {

CMSSqlBackupDlg::CMSSqlBackupDlg(QWidget* parent) : TaskPage("157", parent) {
    auto* editor = new CMSSqlBackupSetupDlg(this);
    list_ = new CMSSqlBackupListDlg(*editor, this);
    Assemble(list_,
             {"1095",
              "MSSQL备份",
              "1167",
              "173",
              SqlServerLogViewConfig(),
              [](const TaskInfo& task) { return IsDatabaseTaskOf(task, kSqlServer); },
              {"任务[%1]正在执行", "任务 %1 执行成功", "成 功", "任务 %1 执行失败\n%2", "失 败", "", ""}});
}

}  // namespace zov::gui
