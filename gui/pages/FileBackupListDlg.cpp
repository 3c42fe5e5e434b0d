#include "gui/pages/FileBackupListDlg.h"

#include <QMenu>
#include <QTreeWidget>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "gui/pages/FileBackupSetupDlg.h"
#include "gui/restore/FileRestoreDialog.h"
#include "gui/shell/ArchiverCheck.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/TaskStore.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/MyButton.h"
#include "platform/Paths.h"

namespace zov::gui {

namespace {

constexpr int kSourceColumn = 2;
constexpr int kStorageColumn = 3;
constexpr int kNameColumn = 1;

const std::vector<TaskListPage::Column> kColumns = {
    {"ID", 40, Qt::AlignCenter},       {"任务名", 50, Qt::AlignLeft},         {"源目录", 122, Qt::AlignLeft},
    {"存储目录", 122, Qt::AlignLeft},  {"过滤器", 50, Qt::AlignCenter},       {"压缩", 40, Qt::AlignCenter},
    {"差异备份", 40, Qt::AlignCenter}, {"文件保存时间", 50, Qt::AlignCenter},
};

void NoSelection(QWidget* owner, const QString& text) {
    ShowBox(owner, text, "未选中任务", Prompter::Icon::Warning);
}

}  // namespace

CFileBackupListDlg::CFileBackupListDlg(CFileBackupSetupDlg& editor, QWidget* parent)
    : TaskListPage(TaskKind::Files, kColumns, "1094", parent), editor_(editor) {
    setObjectName("134");
    SetTaskTooltipLook(*this);
    list()->setGeometry(0, 0, 520, 318);
    list()->setToolTip("右键展开更多功能");
    restore_ = new CFRSetupDlg(this);
    CMyButton* run = AddButton(*this, "1096", "立即备份", {150, 326, 86, 28});
    CMyButton* add = AddButton(*this, "1089", "添加", {242, 326, 86, 28});
    CMyButton* modify = AddButton(*this, "1090", "修改", {334, 326, 86, 28});
    CMyButton* remove = AddButton(*this, "1095", "删除", {426, 326, 86, 28});
    SetRunButton(run);
    connect(run, &QPushButton::clicked, this, &CFileBackupListDlg::RunTask);
    connect(add, &QPushButton::clicked, this, &CFileBackupListDlg::NewTask);
    connect(modify, &QPushButton::clicked, this, &CFileBackupListDlg::ModifyTask);
    connect(remove, &QPushButton::clicked, this, &CFileBackupListDlg::DeleteTask);
    connect(list(), &QTreeWidget::itemClicked, this, [this] { list()->setToolTip(""); });
    Fill();
}

bool CFileBackupListDlg::Shows(const TaskInfo& task) const { return task.IsFileTask(); }

QStringList CFileBackupListDlg::Cells(const TaskInfo& task) const {
    return {Q(task.name),
            Q(task.source),
            Q(task.dest),
            Tick(task.HasFlag(kTaskFilter)),
            Tick(task.HasFlag(kTaskCompress)),
            Tick(task.diff),
            KeepDaysCell(task)};
}

void CFileBackupListDlg::Filled(const std::vector<TaskInfo>& listed) {
    QStringList missing;
    for (const TaskInfo& task : listed) {
        if (!IsDirectory(task.source)) missing.append(Q(task.name));
    }
    UpdateRunButton();
    if (missing.isEmpty()) return;
    ShowBox(this,
            "文件备份中存在无效的任务（源目录不存在），任务名为：\n\n" + missing.join(", ") +
                "\n\n请检查你的任务设置。",
            "警 告", Prompter::Icon::Warning);
}

void CFileBackupListDlg::BuildMenu(QMenu& menu) {
    const std::optional<int> id = SelectedId();
    const bool running = id && MarkedRunning(*id);
    menu.addAction("修改任务", this, &CFileBackupListDlg::ModifyTask);
    menu.addAction("删除任务", this, &CFileBackupListDlg::DeleteTask);
    menu.addAction("新建任务", this, &CFileBackupListDlg::NewTask);
    menu.addAction("立即执行备份(&E)", this, &CFileBackupListDlg::RunTask)->setEnabled(!running);
    menu.addSeparator();
    menu.addAction("历史备份还原", this, &CFileBackupListDlg::RestoreTask);
    menu.addSeparator();
    menu.addAction("打开源目录", this, &CFileBackupListDlg::OpenSourceFolder)
        ->setEnabled(PathExists(SelectedText(kSourceColumn).toStdString()));
    menu.addAction("打开存储目录", this, &CFileBackupListDlg::OpenStorageFolder)
        ->setEnabled(PathExists(SelectedText(kStorageColumn).toStdString()));
    menu.addAction("重置备份任务", this, &CFileBackupListDlg::ClearRunningMark)->setEnabled(running);
}

void CFileBackupListDlg::OpenEditor(int taskId, int operation) {
    editor_.SetOperation(operation, taskId);
    editor_.SetCompressionAvailable(FindArchiver(this, true));
    editor_.Open();
}

void CFileBackupListDlg::NewTask() { OpenEditor(0, CFileBackupSetupDlg::kNew); }

void CFileBackupListDlg::ModifyTask() {
    const std::optional<int> id = SelectedId();
    if (!id) {
        NoSelection(this, "请选择要修改的任务");
        return;
    }
    if (modifyHintPending_) {
        modifyHintPending_ = false;
        ShowBox(this, "修改任务参数可能影响还原功能，请尽可能不去修改关键配置参数。\n\n该提示只显示一次。",
                "修改提示", Prompter::Icon::Warning);
    }
    OpenEditor(*id, CFileBackupSetupDlg::kModify);
}

void CFileBackupListDlg::DeleteTask() {
    const std::optional<int> id = SelectedId();
    if (!id) {
        NoSelection(this, "请选择要删除的任务");
        return;
    }
    if (ShowBox(this, "您确定要删除此任务", "删除询问", Prompter::Icon::Question, Prompter::Buttons::YesNo,
                Prompter::Answer::Yes) != Prompter::Answer::Yes)
        return;
    delete list()->selectedItems().front();
    OpenEditor(*id, CFileBackupSetupDlg::kDelete);
}

void CFileBackupListDlg::RunTask() {
    const std::optional<int> id = SelectedId();
    if (!id) {
        NoSelection(this, "请选择要执行的任务");
        return;
    }
    runButton()->setEnabled(false);
    emit runRequested(*id);
    UsageCounters().Add(Counter::DoFileBack);
}

void CFileBackupListDlg::RestoreTask() {
    const std::optional<int> id = SelectedId();
    TaskInfo task;
    if (!id || !TaskStore().GetTaskById(*id, task)) return;
    restore_->SetTask(&task);
    restore_->exec();
}

void CFileBackupListDlg::OpenSourceFolder() { OpenSelectedFolder(kSourceColumn); }

void CFileBackupListDlg::OpenStorageFolder() { OpenSelectedFolder(kStorageColumn); }

void CFileBackupListDlg::OpenSelectedFolder(int column) {
    OpenPathIfSet(SelectedText(column).toStdString(), this);
}

void CFileBackupListDlg::ClearRunningMark() {
    const std::optional<int> id = SelectedId();
    if (!id) return;
    const QString question =
        "任务：" + SelectedText(kNameColumn) +
        " 可能正在执行中，确定要清理执行标记吗？\n\n如果上一次程序异常中断，可以进行此操作";
    if (ShowBox(this, question, "Stowmeran", Prompter::Icon::Question, Prompter::Buttons::YesNo,
                Prompter::Answer::No) != Prompter::Answer::Yes)
        return;
    IniFile(TempIniPath()).Write(std::to_string(*id), kTempTasksSection, "");
}

}  // namespace zov::gui
