#include "gui/pages/DatabaseTaskList.h"

#include <QMenu>
#include <QTreeWidget>

#include "gui/pages/DatabaseTaskEditor.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/widgets/MyButton.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace zov::gui {

DatabaseTaskList::DatabaseTaskList(const DatabaseListLook& look, DatabaseTaskEditor& editor, QWidget* parent)
    : TaskListPage(look.kind, look.columns, look.listId, parent), look_(look), editor_(editor) {
    setObjectName(look.pageId);
    SetTaskTooltipLook(*this);
    list()->setGeometry(0, 0, 520, 318);
    CMyButton* run = AddButton(*this, look.runId, "立即备份", {150, 326, 86, 28});
    CMyButton* add = AddButton(*this, look.addId, "添加", {242, 326, 86, 28});
    CMyButton* modify = AddButton(*this, look.modifyId, "修改", {334, 326, 86, 28});
    CMyButton* remove = AddButton(*this, look.deleteId, "删除", {426, 326, 86, 28});
    SetRunButton(run);
    connect(run, &QPushButton::clicked, this, &DatabaseTaskList::RunTask);
    connect(add, &QPushButton::clicked, this, &DatabaseTaskList::NewTask);
    connect(modify, &QPushButton::clicked, this, &DatabaseTaskList::ModifyTask);
    connect(remove, &QPushButton::clicked, this, &DatabaseTaskList::DeleteTask);
}

bool DatabaseTaskList::Shows(const TaskInfo& task) const { return IsDatabaseTaskOf(task, look_.sqlType); }

void DatabaseTaskList::Filled(const std::vector<TaskInfo>&) { UpdateRunButton(); }

void DatabaseTaskList::BuildMenu(QMenu& menu) {
    const std::optional<int> id = SelectedId();
    menu.addAction("修改任务", this, &DatabaseTaskList::ModifyTask);
    menu.addAction("删除任务", this, &DatabaseTaskList::DeleteTask);
    menu.addAction("新建任务", this, &DatabaseTaskList::NewTask);
    menu.addAction("立即执行备份", this, &DatabaseTaskList::RunTask)->setEnabled(!id || !MarkedRunning(*id));
    menu.addSeparator();
    menu.addAction("历史备份还原", this, &DatabaseTaskList::RestoreTask);
    menu.addSeparator();
    menu.addAction("打开存储目录", this, &DatabaseTaskList::OpenStorageFolder)
        ->setEnabled(PathExists(SelectedText(look_.storageColumn).toStdString()));
}

void DatabaseTaskList::OpenEditor(int taskId, int operation) {
    editor_.SetOperation(operation, taskId);
    editor_.Open();
}

void DatabaseTaskList::NewTask() { OpenEditor(0, DatabaseTaskEditor::kNew); }

void DatabaseTaskList::ModifyTask() {
    if (const std::optional<int> id = SelectedId()) OpenEditor(*id, DatabaseTaskEditor::kModify);
}

void DatabaseTaskList::DeleteTask() {
    const std::optional<int> id = SelectedId();
    if (!id || ShowBox(this, "您确定要删除此任务", "删除询问", Prompter::Icon::Question,
                       Prompter::Buttons::YesNo, Prompter::Answer::Yes) != Prompter::Answer::Yes)
        return;
    delete list()->selectedItems().front();
    OpenEditor(*id, DatabaseTaskEditor::kDelete);
}

void DatabaseTaskList::RunTask() {
    if (!CanRun()) return;
    const std::optional<int> id = SelectedId();
    if (!id) return;
    runButton()->setEnabled(false);
    emit runRequested(*id);
    UsageCounters().Add(look_.runCounter);
}

void DatabaseTaskList::RestoreTask() {
    const std::optional<int> id = SelectedId();
    if (id && *id != 0) OpenRestoreDialog(*id);
}

void DatabaseTaskList::OpenStorageFolder() {
    const std::string folder = SelectedText(look_.storageColumn).toStdString();
    if (folder.empty() || CurrentShell().Open(folder)) return;
    const QString text = PathExists(folder) ? "指定的文件夹 %1 打开失败" : "指定的文件夹 %1 不存在";
    ShowBox(this, text.arg(QString::fromStdString(folder)), "失败", Prompter::Icon::Error);
}

}  // namespace zov::gui
