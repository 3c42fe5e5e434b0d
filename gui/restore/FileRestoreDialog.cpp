#include "gui/restore/FileRestoreDialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>
#include <set>

#include "engine/archive/ZipOperatorLookup.h"
#include "engine/backup/Backup.h"
#include "engine/files/BackupNames.h"
#include "engine/restore/DifferentialBase.h"
#include "engine/restore/RestorePoints.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonTime.h"
#include "gui/restore/FileRestoreRun.h"
#include "gui/restore/SetBrowser.h"
#include "gui/shell/PageControls.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/DialogKeyFilter.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"
#include "platform/Paths.h"

namespace zov::gui {
namespace {

constexpr int kDialogIcon = 220;
constexpr int kPathRole = Qt::UserRole;

std::string S(const QString& text) { return text.toStdString(); }

std::string PathOf(const QTreeWidgetItem* item) { return S(item->data(0, kPathRole).toString()); }
bool IsChecked(const QTreeWidgetItem* item) { return item->checkState(0) == Qt::Checked; }

// Where a restore with the task's settings goes: beside the source, never over it.
std::string DefaultTarget(const TaskInfo& task) { return CleanPath(task.source) + "_New"; }

QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, bool checkable) {
    auto* item = new QTreeWidgetItem(parent, {text});
    if (checkable) item->setCheckState(0, Qt::Unchecked);
    return item;
}

}  // namespace

CFRSetupDlg::CFRSetupDlg(QWidget* parent) : QDialog(parent), threads_(this) {
    setWindowTitle(" 文件还原");
    setWindowIcon(LoadIcon(kDialogIcon));
    setFixedSize(600, 420);
    MakeWhitePage(*this);
    BuildControls();
    InstallDialogKeyFilter(this);
}

void CFRSetupDlg::BuildControls() {
    AddLabel(*this, "intro", "请在左下方选择要还原的项目。可在下面的输入框中进行详细的还原设置。", 14, 10,
             572, 20);
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("1424");
    tree_->setGeometry(14, 38, 250, 326);
    tree_->setHeaderHidden(true);
    tree_->setFont(PageFont(12));
    hint_ = AddLabel(*this, "1429", "", 280, 38, 306, 64);
    hint_->setWordWrap(true);
    SetTextColor(*hint_, QColor(0, 0, 255));

    AddLabel(*this, "baseLabel", "基础文件：", 280, 112, 72, 24);
    base_ = AddEdit<QLineEdit>(*this, "1122", {352, 112, 196, 24});
    browseBase_ = AddButton(*this, "1095", "...", {552, 112, 34, 24});
    AddLabel(*this, "differentialLabel", "差异文件：", 280, 146, 72, 24);
    differential_ = AddEdit<QLineEdit>(*this, "1124", {352, 146, 196, 24});
    browseDifferential_ = AddButton(*this, "1096", "...", {552, 146, 34, 24});
    AddLabel(*this, "targetLabel", "还  原  至：", 280, 180, 72, 24);
    target_ = AddEdit<QLineEdit>(*this, "1123", {352, 180, 196, 24});
    browseTarget_ = AddButton(*this, "1097", "...", {552, 180, 34, 24});
    AddLabel(*this, "passwordLabel", "解压密码：", 280, 214, 72, 24);
    password_ = AddEdit<QLineEdit>(*this, "1125", {352, 214, 234, 24});
    password_->setEchoMode(QLineEdit::Password);
    showPassword_ = new QCheckBox("显示密码", this);
    showPassword_->setObjectName("1425");
    showPassword_->setGeometry(352, 248, 100, 24);
    showPassword_->setFont(PageFont(12));
    save_ = AddButton(*this, "1427", "保存设置", {496, 248, 90, 28});
    restore_ = AddButton(*this, "1426", "还 原", {392, 372, 90, 30});
    QPushButton* cancel = AddButton(*this, "1167", "取 消", {496, 372, 90, 30});

    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { OnItemClicked(item); });
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { OnItemChanged(item); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { OnItemSelected(); });
    connect(showPassword_, &QCheckBox::toggled, this,
            [this](bool shown) { password_->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password); });
    connect(browseBase_, &QPushButton::clicked, this, [this] {
        BrowseSet(base_, "请选择需要还原的基础文件（夹）", "基准库如果为文件，则只能是rar压缩文件");
    });
    connect(browseDifferential_, &QPushButton::clicked, this, [this] {
        BrowseSet(differential_, "请选择需要还原的差异文件（夹）", "待还原项如果为文件，只能是rar压缩文件");
    });
    connect(browseTarget_, &QPushButton::clicked, this, &CFRSetupDlg::BrowseTarget);
    connect(save_, &QPushButton::clicked, this, &CFRSetupDlg::OnApplyItemOptions);
    connect(restore_, &QPushButton::clicked, this, &CFRSetupDlg::OnRestore);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

void CFRSetupDlg::SetTask(const TaskInfo* task) {
    hasTask_ = task != nullptr;
    task_ = hasTask_ ? *task : TaskInfo{};
}

void CFRSetupDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (!hasTask_) {
        QTimer::singleShot(0, this, &CFRSetupDlg::reject);
        return;
    }
    options_.clear();
    BuildRestoreTree();
    EnableOptions(false);
    ShowOptions({});
    hint_->clear();
    if (QTreeWidgetItem* first = tree_->topLevelItem(0)) tree_->setCurrentItem(first);
}

void CFRSetupDlg::BuildRestoreTree() {
    applyingRules_ = true;
    tree_->clear();
    lastChecked_ = nullptr;
    toggledByBox_ = nullptr;
    if (PerSubfolder()) {
        RestorePointMap points;
        if (CollectSubfolderRestoreSets(task_.dest, points)) {
            for (const auto& [stamp, sets] : points) {
                auto* root = new QTreeWidgetItem(
                    tree_, {QString("%1(%2)").arg(Q(ConvertTimeStamp(stamp, false))).arg(sets.size())});
                root->setCheckState(0, Qt::Unchecked);
                for (const RestorePoint& point : sets)
                    AddItem(root, Q(point.name), true)->setData(0, kPathRole, Q(point.path));
            }
        }
    } else {
        std::vector<RestorePoint> points;
        const std::string name = BackupItemName(task_.source);
        if (CollectRestoreSets(task_.source, task_.dest, points)) {
            auto* root = new QTreeWidgetItem(tree_, {QString("%1(%2)").arg(Q(name)).arg(points.size())});
            for (const RestorePoint& point : points) {
                const std::string label = ConvertTimeStamp(point.stamp, false);
                if (!label.empty()) AddItem(root, Q(label), true)->setData(0, kPathRole, Q(point.path));
            }
        }
    }
    tree_->expandAll();
    applyingRules_ = false;
}

void CFRSetupDlg::OnItemChanged(QTreeWidgetItem* item) {
    if (applyingRules_) return;
    // The click on the box follows at once, when the change came from one.
    toggledByBox_ = item;
    QTimer::singleShot(0, this, [this] { toggledByBox_ = nullptr; });
    ApplyCheckRules(item, !IsChecked(item));
}

void CFRSetupDlg::OnItemClicked(QTreeWidgetItem* item) {
    const bool byCheckBox = item == toggledByBox_;
    toggledByBox_ = nullptr;
    if (!byCheckBox && !IsChecked(item)) {
        // The whole-folder root has no box: a click on it clears the points.
        if (item->data(0, Qt::CheckStateRole).isValid()) SetChecked(item, true);
        ApplyCheckRules(item, false);
    }
    tree_->setCurrentItem(item);
    OnItemSelected();
}

void CFRSetupDlg::SetChecked(QTreeWidgetItem* item, bool checked) {
    const bool applying = applyingRules_;
    applyingRules_ = true;
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    applyingRules_ = applying;
}

void CFRSetupDlg::UncheckOtherRoots(QTreeWidgetItem* root) {
    for (int index = 0; index < tree_->topLevelItemCount(); ++index) {
        QTreeWidgetItem* other = tree_->topLevelItem(index);
        if (other == root) continue;
        SetChecked(other, false);
        for (int child = 0; child < other->childCount(); ++child) SetChecked(other->child(child), false);
    }
}

void CFRSetupDlg::ApplyCheckRules(QTreeWidgetItem* item, bool wasChecked) {
    QTreeWidgetItem* parent = item->parent();
    if (PerSubfolder()) {
        // One run time at a time.
        if (parent == nullptr && wasChecked) {
            for (int child = 0; child < item->childCount(); ++child) SetChecked(item->child(child), false);
        } else if (parent == nullptr) {
            UncheckOtherRoots(item);
            options_.clear();
            for (int child = 0; child < item->childCount(); ++child) SetChecked(item->child(child), true);
        } else if (!wasChecked && !IsChecked(parent)) {
            SetChecked(parent, true);
            UncheckOtherRoots(parent);
            options_.clear();
        }
        return;
    }
    // One restore point at a time.
    if (parent == nullptr) {
        for (int child = 0; child < item->childCount(); ++child) SetChecked(item->child(child), false);
        options_.clear();
        lastChecked_ = nullptr;
    } else if (wasChecked) {
        options_.clear();
        if (lastChecked_ == item) lastChecked_ = nullptr;
    } else {
        if (lastChecked_ != nullptr && lastChecked_ != item) SetChecked(lastChecked_, false);
        lastChecked_ = item;
    }
}

void CFRSetupDlg::EnableOptions(bool enabled) {
    for (QWidget* widget :
         std::initializer_list<QWidget*>{base_, differential_, target_, password_, browseBase_,
                                         browseDifferential_, browseTarget_, save_})
        widget->setEnabled(enabled);
}

void CFRSetupDlg::ShowOptions(const RestoreItemOptions& options) {
    base_->setText(Q(options.base));
    differential_->setText(Q(options.differential));
    target_->setText(Q(options.target));
    password_->setText(Q(options.password));
}

void CFRSetupDlg::OnItemSelected() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr) return;
    EnableOptions(false);
    ShowOptions({});
    if (item->parent() == nullptr) {
        hint_->setText("当前不支持自定义全局的还原选项");
        return;
    }
    // Options are for the points that are restored: checked ones.
    if (IsChecked(item) && (!PerSubfolder() || IsChecked(item->parent()))) {
        EnableOptions(true);
        hint_->setText(
            "您可以在下方输入框中自定义该项的还原选项，要保存自定义的结果，请在设置后点击“保存设置”按钮，"
            "未保存的项目不会生效。");
    } else {
        hint_->setText("您正在浏览该项的还原选项，要设置还原选项，请勾选该项");
    }
    const std::string path = PathOf(item);
    const auto saved = options_.find(path);
    ShowOptions(saved != options_.end() ? saved->second : GetDefaultItemOptions(path));
}

RestoreItemOptions CFRSetupDlg::GetDefaultItemOptions(const std::string& itemPath) const {
    if (itemPath.empty()) return {};
    RestoreItemOptions options;
    options.differential = itemPath;
    if (IsDifferentialEntry(itemPath)) options.base = FindDifferentialBase(itemPath);
    options.target = DefaultTarget(task_);
    options.password = task_.password;
    return options;
}

void CFRSetupDlg::OnApplyItemOptions() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item->parent() == nullptr) return;
    const RestoreItemOptions options{S(differential_->text()), S(base_->text()), S(target_->text()),
                                     S(password_->text())};
    const char* failure = nullptr;
    if (options.differential.empty()) {
        failure = "差异文件路径不能为空";
    } else if (!PathExists(options.differential)) {
        failure = "差异文件（夹）路径不存在";
    } else if (!IsDirectory(options.differential) && !IsArchiveName(options.differential)) {
        failure = "待还原项只能为文件夹或rar压缩文件";
    } else if (options.target.empty()) {
        failure = "存储路径不能为空";
    } else if (!options.base.empty() && !IsDirectory(options.base) && !IsArchiveName(options.base)) {
        failure = "基准库只能是文件夹或rar压缩文件";
    }
    if (failure != nullptr) {
        ShowBox(this, failure, "错误", Prompter::Icon::Error);
        return;
    }
    const std::string key = PathOf(item);
    if (!options_.contains(key) && !PerSubfolder()) options_.clear();
    options_[key] = options;
}

void CFRSetupDlg::OnRestore() {
    if (running_ > 0) return;
    FileRestoreRequest request;
    RestoreBatch batch;
    for (int index = 0; index < tree_->topLevelItemCount(); ++index) {
        const QTreeWidgetItem* root = tree_->topLevelItem(index);
        if (PerSubfolder() && !IsChecked(root)) continue;
        for (int child = 0; child < root->childCount(); ++child) {
            const QTreeWidgetItem* item = root->child(child);
            const std::string path = PathOf(item);
            if (!IsChecked(item) || path.empty()) continue;
            const auto saved = options_.find(path);
            if (saved != options_.end()) {
                batch.emplace(static_cast<int>(batch.size()), saved->second);
            } else {
                request.checkedItems.push_back(path);
            }
        }
    }
    if (request.checkedItems.empty() && batch.empty()) {
        ShowBox(this, "未选择还原项，无法进行还原。", "提示", Prompter::Icon::Warning);
        return;
    }
    if (!request.checkedItems.empty()) {
        const std::string& first = request.checkedItems.front();
        request.taskId = task_.id;
        request.sets = PerSubfolder() ? 1 : 0;
        request.differential = IsDifferentialEntry(first) ? 1 : 0;
        request.source = PerSubfolder() ? task_.dest : first;
        request.target = DefaultTarget(task_);
        request.password = task_.password;
    }
    if (!ConfirmMergedTargets(request, batch)) return;
    UsageCounters().Add(Counter::RestoreFile);
    StartRestore(request, batch);
}

bool CFRSetupDlg::ConfirmMergedTargets(const FileRestoreRequest& request, const RestoreBatch& batch) {
    std::set<std::string> targets;
    if (!request.checkedItems.empty()) targets.insert(CleanPath(request.target));
    for (const auto& [index, options] : batch) targets.insert(CleanPath(options.target));
    for (const std::string& target : targets) {
        if (!IsDirectory(target) || IsFolderEmpty(target)) continue;
        const QString text =
            "目标文件夹" + Q(target) + "已存在且不为空，还原的文件将与其中的文件合并。是否继续还原？";
        if (ShowBox(this, text, "提示", Prompter::Icon::Question, Prompter::Buttons::YesNo,
                    Prompter::Answer::No) != Prompter::Answer::Yes)
            return false;
    }
    return true;
}

void CFRSetupDlg::StartRestore(const FileRestoreRequest& request, const RestoreBatch& batch) {
    const auto start = [this](RestoreThreads::Job job) {
        const int generation = generation_;
        if (threads_.Start(std::move(job),
                           [this, generation](const RestoreBox& box) { OnRestoreEnded(generation, box); })) {
            ++running_;
        } else {
            ShowRestoreBox(this, FileRestoreBox(false, "无法启动还原线程"));
        }
    };
    const std::string rarPath = GetRarPath();
    if (!request.checkedItems.empty()) {
        start([request, task = task_, rarPath](const JobContext& job) {
            return RunFileRestore(request, task, rarPath, job);
        });
    }
    if (!batch.empty()) {
        start([batch, task = task_, rarPath](const JobContext& job) {
            return RunBatchRestore(batch, task, rarPath, job);
        });
    }
    restore_->setEnabled(running_ == 0);
}

void CFRSetupDlg::OnRestoreEnded(int generation, const RestoreBox& box) {
    if (generation != generation_) return;
    if (--running_ == 0) restore_->setEnabled(true);
    ShowRestoreBox(this, box);
}

void CFRSetupDlg::reject() {
    if (running_ > 0) {
        if (ShowBox(this, "您有还原任务正在进行，退出窗口将中断还原，是否中断？", "提示",
                    Prompter::Icon::Information, Prompter::Buttons::YesNo,
                    Prompter::Answer::No) != Prompter::Answer::Yes)
            return;
        // Boxes of the stopped restores are dropped.
        ++generation_;
        running_ = 0;
        restore_->setEnabled(true);
        threads_.StopAll(RestoreThreads::kEndBound, true);
    }
    QDialog::reject();
}

void CFRSetupDlg::BrowseSet(QLineEdit* edit, const QString& title, const QString& refusal) {
    const QString chosen = BrowseForPath(this, title, edit->text(), true);
    if (chosen.isEmpty()) return;
    if (QFileInfo(chosen).isFile() && !IsArchiveName(S(chosen))) {
        ShowBox(this, refusal, "错误", Prompter::Icon::Warning);
        edit->clear();
        return;
    }
    edit->setText(chosen);
}

void CFRSetupDlg::BrowseTarget() {
    const QString chosen = BrowseForPath(this, "请选择还原至哪个目录", target_->text(), false);
    if (!chosen.isEmpty()) target_->setText(chosen);
}

}  // namespace zov::gui
