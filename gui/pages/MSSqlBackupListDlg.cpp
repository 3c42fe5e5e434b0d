#include "gui/pages/MSSqlBackupListDlg.h"

#include "gui/pages/DatabasePicker.h"
#include "gui/pages/MSSqlBackupSetupDlg.h"
#include "gui/restore/SqlServerRestoreDialog.h"
#include "gui/shell/QtText.h"

namespace zov::gui {

namespace {

const DatabaseListLook kLook{
    TaskKind::SqlServer,
    kSqlServer,
    {{"ID", 40, Qt::AlignCenter},
     {"任务名", 50, Qt::AlignLeft},
     {"实例名", 80, Qt::AlignLeft},
     {"数据库", 107, Qt::AlignCenter},
     {"存储目录", 107, Qt::AlignLeft},
     {"压缩", 40, Qt::AlignCenter},
     {"文件保存时间", 90, Qt::AlignCenter}},
    "162",
    "1251",
    "1252",
    "1095",
    "1253",
    "1167",
    4,
    Counter::DoMssqlBack,
};

}  // namespace

CMSSqlBackupListDlg::CMSSqlBackupListDlg(CMSSqlBackupSetupDlg& editor, QWidget* parent)
    : DatabaseTaskList(kLook, editor, parent) {
    Fill();
}

QStringList CMSSqlBackupListDlg::Cells(const TaskInfo& task) const {
    return {
        Q(task.name),
        Q(task.instance),
        task.database == DatabasePicker::kAllStored ? QString(DatabasePicker::kAllEntry) : Q(task.database),
        Q(task.dest),
        Tick(task.HasFlag(kTaskCompress)),
        KeepDaysCell(task)};
}

void CMSSqlBackupListDlg::OpenRestoreDialog(int taskId) {
    CMSSqlRestore dialog(taskId, this);
    dialog.exec();
}

}  // namespace zov::gui
