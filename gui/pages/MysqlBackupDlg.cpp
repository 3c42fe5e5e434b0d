#include "gui/pages/MysqlBackupDlg.h"

#include <QComboBox>

#include "gui/pages/DatabaseLogViews.h"
#include "gui/pages/MysqlBackupListDlg.h"
#include "gui/pages/MysqlBackupSetupDlg.h"
#include "gui/shell/PageTabs.h"

namespace zov::gui {

CMysqlBackupDlg::CMysqlBackupDlg(QWidget* parent) : TaskPage("166", parent) {
    auto* editor = new CMysqlBackupSetupDlg(this);
    list_ = new CMysqlBackupListDlg(*editor, this);
    Assemble(list_, {"1095",
                     "MySQL备份",
                     "1167",
                     "174",
                     MySqlLogViewConfig(),
                     [](const TaskInfo& task) { return IsDatabaseTaskOf(task, kMySql); },
                     {"任务[%1]正在执行", "任务 %1 执行成功！", "成功", "任务 %1 执行失败！\n%2", "失败",
                      "该任务不是MySQL备份任务", "获取id为%1的任务详细信息失败"}});
    serverFound_ = editor->serviceBox()->count() > 0;
    if (!serverFound_) {
        tabs()->current()->hide();
        hide();
    }
}

}  // namespace zov::gui
