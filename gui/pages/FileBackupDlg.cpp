#include "gui/pages/FileBackupDlg.h"

#include <QStringList>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/RunStart.h"
#include "gui/pages/FileBackupListDlg.h"
#include "gui/pages/FileBackupSetupDlg.h"
#include "gui/pages/FileLogView.h"
#include "gui/shell/Prompter.h"

namespace zov::gui {

CFileBackupDlg::CFileBackupDlg(QWidget* parent) : TaskPage("130", parent) {
    auto* editor = new CFileBackupSetupDlg(this);
    list_ = new CFileBackupListDlg(*editor, this);
    Assemble(list_, {"1086",
                     "文件备份",
                     "1087",
                     "153",
                     FileLogViewConfig(),
                     [](const TaskInfo& task) { return task.IsFileTask(); },
                     {"任务[%1]正在执行，请稍等...", "任务 %1 执行成功", "成 功", "任务 %1 执行失败\n%2",
                      "失败", "", "获取id为%1的任务详细信息失败"}});
    ReportUnfinishedRuns(this);
}

void CFileBackupDlg::ReportUnfinishedRuns(QWidget* owner) {
    const IniFile temp(TempIniPath());
    const std::vector<std::string> keys = temp.GetTempTaskIds();
    if (keys.size() <= 1 || keys.front() == kDayKey) return;
    QStringList running;
    QStringList failed;
    for (const std::string& key : keys) {
        const std::string value = temp.Read(key, kTempTasksSection);
        if (IsHandRunMark(value)) running.append(QString::fromStdString(key));
        if (value == kHandRunFailed) failed.append(QString::fromStdString(key));
    }
    QString text = "你上次程序退出时有未处理完成的任务，其中:\n\n";
    if (!running.isEmpty()) text += "ID为" + running.join(',') + "的任务未执行完成。\n";
    if (!failed.isEmpty()) text += "ID为" + failed.join(',') + "的任务执行执行失败未处理。\n\n";
    text += "\n请检查对应任务后重新备份。";
    ShowBox(owner, text, "未处理的任务", Prompter::Icon::Warning);
    temp.Write("", kTempTasksSection, "");
}

}  // namespace zov::gui
