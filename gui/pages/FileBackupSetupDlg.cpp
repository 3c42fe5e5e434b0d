#include "gui/pages/FileBackupSetupDlg.h"

#include <QKeyEvent>
#include <QPlainTextEdit>

#include "engine/tasks/QelXml.h"
#include "gui/pages/FileBackupSetupBaseDlg.h"
#include "gui/pages/FileBackupSetupExtDlg.h"
#include "gui/pages/TaskListChanged.h"
#include "gui/pages/TaskSaveChecks.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/TaskStore.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"
#include "platform/Folders.h"

namespace zov::gui {

namespace {

constexpr int kIcon = 183;
constexpr QRect kPageRect(14, 35, 488, 270);

}  // namespace

CFileBackupSetupDlg::CFileBackupSetupDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("133");
    setWindowIcon(LoadIcon(kIcon));
    setFixedSize(516, 350);
    MakeWhitePage(*this);
    ext_ = new CFileBackupSetupExtDlg(this);
    ext_->setGeometry(kPageRect);
    ext_->hide();
    base_ = new CFileBackupSetupBaseDlg(this);
    base_->setGeometry(kPageRect);
    CMyButton* basic = AddButton(*this, "1095", "基础设置", {14, 4, 90, 26});
    CMyButton* extended = AddButton(*this, "1350", "高级设置", {110, 4, 90, 26});
    CMyButton* ok = AddButton(*this, "1081", "确定", {318, 314, 86, 28});
    cancel_ = AddButton(*this, "1082", "取消", {414, 314, 86, 28});
    connect(basic, &QPushButton::clicked, this, &CFileBackupSetupDlg::ShowBasePage);
    connect(extended, &QPushButton::clicked, this, &CFileBackupSetupDlg::ShowExtPage);
    connect(ok, &QPushButton::clicked, this, &CFileBackupSetupDlg::OnOk);
    connect(cancel_, &QPushButton::clicked, this, &CFileBackupSetupDlg::OnCancel);
    connect(base_, &CFileBackupSetupBaseDlg::compressionChanged, ext_,
            &CFileBackupSetupExtDlg::SetCompression);
}

void CFileBackupSetupDlg::SetOperation(int operation, int taskId) {
    operation_ = operation;
    taskId_ = taskId;
}

void CFileBackupSetupDlg::SetCompressionAvailable(bool available) { compressionAvailable_ = available; }

bool CFileBackupSetupDlg::Prepare() {
    base_->SetCompressionAvailable(compressionAvailable_);
    ext_->ResetPatternWarning();
    ShowBasePage();
    if (operation_ == kDelete) {
        DeleteStoredTask(parentWidget(), taskId_, TaskKind::Files);
        return false;
    }
    TaskInfo task;
    if (operation_ == kNew || taskId_ == 0 || !TaskStore().GetTaskById(taskId_, task)) {
        operation_ = kNew;
        taskId_ = 0;
        loaded_ = TaskInfo();
        loaded_.flags = kTaskFile;
        base_->SetDefaults();
        ext_->SetDefaults();
        setWindowTitle("新建文件备份");
        return true;
    }
    LoadPages(task);
    return true;
}

int CFileBackupSetupDlg::Open() { return Prepare() ? exec() : QDialog::Rejected; }

void CFileBackupSetupDlg::LoadPages(const TaskInfo& task) {
    loaded_ = task;
    base_->Load(task);
    ext_->Load(task);
    setWindowTitle(QString("修改任务(%1)").arg(Q(task.name)));
}

void CFileBackupSetupDlg::ShowBasePage() {
    ext_->hide();
    base_->show();
    cancel_->setText("取消");
}

void CFileBackupSetupDlg::ShowExtPage() {
    base_->hide();
    ext_->show();
    cancel_->setText("返回");
}

void CFileBackupSetupDlg::OnCancel() {
    if (!ext_->isHidden()) {
        ShowBasePage();
        return;
    }
    reject();
}

TaskInfo CFileBackupSetupDlg::Gather(bool& makeStorage) {
    TaskInfo task = loaded_;
    task.flags = kTaskFile;
    task.id = taskId_;
    makeStorage = base_->Gather(task);
    ext_->Gather(task);
    return task;
}

void CFileBackupSetupDlg::OnOk() {
    if (const QString refusal = base_->Refusal(); !refusal.isEmpty()) {
        ShowBox(this, refusal, "错误", Prompter::Icon::Error);
        return;
    }
    bool makeStorage = false;
    TaskInfo task = Gather(makeStorage);
    const StoreCheck check = CheckWithStore(this, task);
    if (check == StoreCheck::Declined) base_->ClearStorage();
    if (check != StoreCheck::Passed) return;
    const bool adding = operation_ == kNew;
    TaskInfo saved = task;
    if (!TaskStore().ChangeTask(adding ? kChangeAdd : kChangeModify, saved, true, false)) {
        ShowBox(this, "任务添加(修改)失败", "失败", Prompter::Icon::Error);
        ReloadTaskStore();
        LoadPages(task);
        if (adding) setWindowTitle("新建文件备份");
        return;
    }
    // Only a saved task gets its folder: a refused one leaves nothing behind.
    if (makeStorage) EnsurePrivateFolder(task.dest);
    TaskInfo stored;
    if (TaskStore().GetTaskById(saved.id, stored)) LoadPages(stored);
    MarkTaskListChanged(TaskKind::Files);
    if (adding) UsageCounters().Add(Counter::AddFileBack);
    ShowBox(this, adding ? "任务添加成功" : "任务修改成功", "成 功", Prompter::Icon::Information);
    accept();
}

void CFileBackupSetupDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (ext_->isHidden() || !ext_->patternEdit()->hasFocus()) OnOk();
            return;
        case Qt::Key_Escape:
            OnCancel();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace zov::gui
