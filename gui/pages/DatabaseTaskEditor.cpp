#include "gui/pages/DatabaseTaskEditor.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

#include "engine/tasks/QelXml.h"
#include "gui/pages/TaskSaveChecks.h"
#include "gui/shell/FileChooser.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/TaskStore.h"
#include "gui/widgets/FilteredEdits.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace zov::gui {

namespace {

constexpr const char* kDefaultKeepDays = "30";
constexpr int kMaxKeepDays = 3000;
// What a task name may not hold.
const QRegularExpression kNameForbidden(R"([|:<>/\\?"])");

}  // namespace

bool IsDatabaseTaskOf(const TaskInfo& task, int sqlType) {
    return !task.IsFileTask() && task.sqlType == sqlType;
}

DatabaseTaskEditor::DatabaseTaskEditor(const DatabaseEditorLook& look, QWidget* parent)
    : QDialog(parent), look_(look) {
    setObjectName(look.dialogId);
    setWindowIcon(LoadIcon(look.icon));
    setFixedSize(516, 436);
    MakeWhitePage(*this);
    SetTaskTooltipLook(*this);
    AddLabel(*this, "", "任务名称：", 10, 10, 76, 24);
    name_ = AddEdit<QLineEdit>(*this, look.name, {86, 10, 150, 24});
    name_->setMaxLength(look.nameLength);
    picker_ = new DatabasePicker(look.picker, this);
    picker_->setGeometry(10, 44, 500, 176);
    AddLabel(*this, "", "存储路径：", 10, 226, 76, 24);
    storage_ = AddEdit<CDropEdit>(*this, look.storage, {86, 226, 300, 24});
    CMyButton* browse = AddButton(*this, look.browse, "浏览", {392, 226, 50, 24});
    CMyButton* open = AddButton(*this, look.open, "打开", {448, 226, 50, 24});
    AddLabel(*this, "", "压缩密码：", 10, 258, 76, 24);
    password_ = AddEdit<QLineEdit>(*this, look.password, {86, 258, 120, 24});
    password_->setEchoMode(QLineEdit::Password);
    schedule_ = new SchedulePicker(look.schedule, 290, this);
    AddLabel(*this, "", "文件保留：", 10, 354, 76, 24);
    keepDays_ = AddEdit<QLineEdit>(*this, look.keepDays, {86, 354, 60, 24});
    keepDays_->setToolTip("请设置备份文件保留期限，0表示不限制。");
    AddLabel(*this, "", "天", 150, 354, 20, 24);
    CMyButton* ok = AddButton(*this, look.ok, "确定", {318, 396, 86, 28});
    CMyButton* cancel = AddButton(*this, look.cancel, "取消", {414, 396, 86, 28});
    connect(browse, &QPushButton::clicked, this, &DatabaseTaskEditor::Browse);
    connect(open, &QPushButton::clicked, this, &DatabaseTaskEditor::OpenStorage);
    connect(ok, &QPushButton::clicked, this, &DatabaseTaskEditor::OnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DatabaseTaskEditor::SetOperation(int operation, int taskId) {
    operation_ = operation;
    taskId_ = taskId;
}

int DatabaseTaskEditor::Open() { return Prepare() ? exec() : QDialog::Rejected; }

bool DatabaseTaskEditor::Prepare() {
    if (operation_ == kDelete) {
        DeleteStoredTask(parentWidget(), taskId_, look_.kind);
        return false;
    }
    TaskInfo task;
    const bool stored = operation_ == kModify && taskId_ != 0 && TaskStore().GetTaskById(taskId_, task) &&
                        IsDatabaseTaskOf(task, look_.sqlType);
    if (!stored) {
        NewForm();
        return true;
    }
    Load(task);
    if (!LoadServer(task)) NewForm();
    return true;
}

void DatabaseTaskEditor::NewForm() {
    operation_ = kNew;
    taskId_ = 0;
    loaded_ = TaskInfo();
    loaded_.flags = kTaskCompress;
    loaded_.sqlType = look_.sqlType;
    name_->clear();
    storage_->clear();
    password_->clear();
    keepDays_->setText(kDefaultKeepDays);
    schedule_->SetDefaults();
    picker_->Clear();
    setWindowTitle(look_.newTitle);
    SetServerDefaults();
}

void DatabaseTaskEditor::Load(const TaskInfo& task) {
    loaded_ = task;
    name_->setText(Q(task.name));
    storage_->setText(Q(task.dest));
    password_->setText(Q(task.password));
    schedule_->Load(task);
    keepDays_->setText(QString::number(task.HasFlag(kTaskKeepDays) ? std::max(task.keepDays, 0) : 0));
    picker_->Clear();
    picker_->SetChosen(task.database);
    setWindowTitle(QString("修改任务(%1)").arg(Q(task.name)));
}

void DatabaseTaskEditor::Refuse(const QString& text) { ShowBox(this, text, "错误", Prompter::Icon::Error); }

std::optional<TaskInfo> DatabaseTaskEditor::Gather() {
    bool number = false;
    const int keepDays = keepDays_->text().trimmed().toInt(&number);
    if (!number || keepDays < 0 || keepDays > kMaxKeepDays) {
        ShowBox(this, QString("请输入一个在 0 和 %1 之间的整数。").arg(kMaxKeepDays), "Stowmeran",
                Prompter::Icon::Warning);
        keepDays_->setFocus();
        return std::nullopt;
    }
    TaskInfo task = loaded_;
    task.id = taskId_;
    task.flags = kTaskCompress;
    task.sqlType = look_.sqlType;
    const std::string storage = storage_->text().toStdString();
    if (storage.empty() || !IsDirectory(storage)) {
        Refuse("未输入存储路径或存储路径不存在");
        return std::nullopt;
    }
    task.dest = storage;
    const QString name = name_->text();
    if (name.isEmpty() || name.contains(kNameForbidden)) {
        Refuse("任务名为空或者不合法");
        return std::nullopt;
    }
    task.name = name.toStdString();
    if (!GatherServer(task)) return std::nullopt;
    task.database = picker_->Chosen();
    if (task.database.empty()) {
        Refuse("未指定任何需要备份的数据库");
        return std::nullopt;
    }
    task.password = password_->text().toStdString();
    if (keepDays != 0) task.flags |= kTaskKeepDays;
    task.keepDays = keepDays;
    schedule_->Gather(task);
    if (task.days.none()) {
        Refuse("未设置备份日期，或者设置不合法");
        return std::nullopt;
    }
    if (const QString fault = schedule_->TimeFault(); !fault.isEmpty()) {
        Refuse(fault);
        return std::nullopt;
    }
    return task;
}

void DatabaseTaskEditor::OnOk() {
    if (!ConfirmSave()) return;
    std::optional<TaskInfo> task = Gather();
    if (!task) return;
    const StoreCheck check = CheckWithStore(this, *task);
    if (check == StoreCheck::Declined) storage_->clear();
    if (check != StoreCheck::Passed) return;
    const bool adding = operation_ == kNew;
    if (!TaskStore().ChangeTask(adding ? kChangeAdd : kChangeModify, *task, true, true)) {
        ShowBox(this, "任务添加(修改)失败", "失败", Prompter::Icon::Error);
        ReloadTaskStore();
        return;
    }
    MarkTaskListChanged(look_.kind);
    if (adding) UsageCounters().Add(look_.addCounter);
    ShowBox(this, adding ? "任务添加成功" : "任务修改成功", "成 功", Prompter::Icon::Information);
    accept();
}

void DatabaseTaskEditor::Browse() {
    const QString chosen = ChooseFolder(this, "请选择存放备份文件的目录", storage_->text());
    if (!chosen.isEmpty()) storage_->setText(chosen);
}

void DatabaseTaskEditor::OpenStorage() {
    const std::string path = storage_->text().toStdString();
    if (IsDirectory(path)) CurrentShell().Open(path);
}

void DatabaseTaskEditor::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return;
        case Qt::Key_Escape:
            reject();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace zov::gui
