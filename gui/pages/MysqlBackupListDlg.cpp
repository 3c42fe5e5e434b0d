#include "gui/pages/MysqlBackupListDlg.h"

#include "engine/mysql/MySqlTools.h"
#include "gui/pages/MysqlBackupSetupDlg.h"
#include "gui/restore/MySqlRestoreDialog.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

const DatabaseListLook kLook{
    TaskKind::MySql,
    kMySql,
    {{"ID", 40, Qt::AlignCenter},
     {"任务名", 50, Qt::AlignLeft},
     {"服务名", 80, Qt::AlignLeft},
     {"存储目录", 200, Qt::AlignLeft},
     {"压缩", 40, Qt::AlignCenter},
     {"文件保存时间", 90, Qt::AlignCenter}},
    "170",
    "1314",
    "1316",
    "1315",
    "1318",
    "1317",
    3,
    Counter::DoMysqlBack,
};

}  // namespace

CMysqlBackupListDlg::CMysqlBackupListDlg(CMysqlBackupSetupDlg& editor, QWidget* parent)
    : DatabaseTaskList(kLook, editor, parent) {
    Fill();
}

QStringList CMysqlBackupListDlg::Cells(const TaskInfo& task) const {
    return {Q(task.name), Q(task.serviceName), Q(task.dest), Tick(task.HasFlag(kTaskCompress)),
            KeepDaysCell(task)};
}

bool CMysqlBackupListDlg::CanRun() {
    if (!FindMySqlTool("", kMySqlDumpTools).empty()) return true;
    ShowBox(this, "文件：" + Q(ProgramDir() + kMySqlDumpTools.back()) + "  不存在，无法执行备份，请检查！",
            "错误", Prompter::Icon::Error);
    return false;
}

void CMysqlBackupListDlg::OpenRestoreDialog(int taskId) {
    CMysqlRestoreDlg dialog(taskId, this);
    dialog.exec();
}

}  // namespace zov::gui
