#include "gui/restore/DatabaseRestoreDialog.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <algorithm>

#include "engine/util/CommonTime.h"
#include "gui/restore/RestoreEngine.h"
#include "gui/shell/GuiUtilities.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/QtText.h"
#include "gui/shell/TaskStore.h"
#include "gui/widgets/DialogKeyFilter.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"
#include "gui/widgets/SortListCtrl.h"
#include "platform/Paths.h"

namespace zov::gui {
namespace {

enum DatabaseColumn { kNumberColumn, kNameColumn, kCountColumn };
enum BackupColumn { kTimeColumn, kPathColumn };

CSortListCtrl* AddList(QWidget& parent, const char* id, const QRect& where,
                       std::initializer_list<std::pair<QString, int>> columns) {
    auto* list = new CSortListCtrl(&parent);
    list->setObjectName(id);
    list->setGeometry(where);
    list->setFont(PageFont(12));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    list->setUniformRowHeights(true);
    list->ShowGridLines();
    QStringList labels;
    for (const auto& column : columns) labels << column.first;
    list->setHeaderLabels(labels);
    int index = 0;
    for (const auto& column : columns) list->setColumnWidth(index++, column.second);
    list->header()->setStretchLastSection(false);
    return list;
}

}  // namespace

CDatabaseRestoreDlg::CDatabaseRestoreDlg(int taskId, const Kind& kind, QWidget* parent)
    : QDialog(parent), kind_(kind) {
    setWindowTitle(kind.caption);
    setWindowIcon(LoadIcon(kind.icon));
    setFixedSize(500, 332);
    MakeWhitePage(*this);
    BuildControls();
    InstallDialogKeyFilter(this);
    if (LoadTask(taskId)) FillDatabaseList();
}

void CDatabaseRestoreDlg::BuildControls() {
    databases_ = AddList(*this, kind_.databaseListId, {14, 14, 230, 262},
                         {{"序号", 30}, {"数据库名", 144}, {"备份数", 50}});
    backupList_ = AddList(*this, kind_.backupListId, {256, 14, 230, 262}, {{"备份时间", 164}, {"路径", 60}});
    QPushButton* restore = AddButton(*this, kind_.restoreId, "还 原", {292, 288, 90, 30});
    QPushButton* cancel = AddButton(*this, kind_.cancelId, "取消", {396, 288, 90, 30});

    menu_ = new QMenu(this);
    QAction* openLocation = menu_->addAction("打开位置");
    openLocation->setObjectName(kind_.openLocationId);
    QAction* restoreNow = menu_->addAction("立即还原");
    restoreNow->setObjectName(kind_.restoreNowId);
    backupList_->setContextMenuPolicy(Qt::CustomContextMenu);

    connect(databases_, &QTreeWidget::itemSelectionChanged, this, &CDatabaseRestoreDlg::ShowBackups);
    connect(backupList_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(backupList_->viewport()->mapToGlobal(at)); });
    connect(openLocation, &QAction::triggered, this, &CDatabaseRestoreDlg::OpenBackupLocation);
    connect(restoreNow, &QAction::triggered, this, &CDatabaseRestoreDlg::OnRestore);
    connect(restore, &QPushButton::clicked, this, &CDatabaseRestoreDlg::OnRestore);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool CDatabaseRestoreDlg::LoadTask(int taskId) {
    if (taskId < 1 || !TaskStore().GetTaskById(taskId, task_)) {
        emptyReason_ = "未找到要还原的任务";
        return false;
    }
    if (task_.IsFileTask() || task_.sqlType != kind_.sqlType) {
        emptyReason_ = QString("任务[%1]不是%2备份任务").arg(Q(task_.name), kind_.name);
        return false;
    }
    RestorePointMap found;
    if (!CollectDatabaseBackups(task_.dest, found)) {
        emptyReason_ = QString("存储目录[%1]不存在").arg(Q(task_.dest));
        return false;
    }
    for (const auto& [title, points] : found) {
        std::vector<RestorePoint>& list = backups_[kind_.databaseOfTitle(title, task_)];
        for (const RestorePoint& point : points) {
            const auto same = [&](const RestorePoint& other) { return other.stamp == point.stamp; };
            if (std::none_of(list.begin(), list.end(), same)) list.push_back(point);
        }
    }
    if (backups_.empty()) emptyReason_ = QString("存储目录[%1]中没有数据库备份").arg(Q(task_.dest));
    return !backups_.empty();
}

void CDatabaseRestoreDlg::FillDatabaseList() {
    const bool padded = backups_.size() >= 10 && backups_.size() <= 999;
    int number = 0;
    for (const auto& [name, points] : backups_) {
        const QString numberText = QString::asprintf(padded ? "%2d" : "%d", ++number);
        new QTreeWidgetItem(databases_, {numberText, Q(name), QString::number(points.size())});
    }
}

void CDatabaseRestoreDlg::ShowBackups() {
    const QList<QTreeWidgetItem*> selected = databases_->selectedItems();
    if (selected.isEmpty()) return;
    backupList_->clear();
    database_ = selected.first()->text(kNameColumn).toStdString();
    const auto found = backups_.find(database_);
    if (found == backups_.end()) return;
    // The backup found last shows first.
    for (const RestorePoint& point : found->second) {
        backupList_->insertTopLevelItem(
            0, new QTreeWidgetItem({Q(ConvertTimeStamp(point.stamp, false)), Q(point.path)}));
    }
}

bool CDatabaseRestoreDlg::AskToRestore(const QString& timeText) {
    const QString text =
        QString("请问确认将数据库[%1]还原至时间点[%2]吗？\n\n注意：").arg(Q(database_), timeText) +
        QString(kind_.confirmNote).replace("%1", Q(database_));
    return ShowBox(this, text, "提示", Prompter::Icon::Question, Prompter::Buttons::OkCancel,
                   Prompter::Answer::Cancel) == Prompter::Answer::Ok;
}

void CDatabaseRestoreDlg::OnRestore() {
    if (databases_->topLevelItemCount() == 0) {
        ShowBox(this, emptyReason_, "提示", Prompter::Icon::Information);
        return;
    }
    if (database_.empty()) {
        ShowBox(this, "请选择要还原的数据库", "提示", Prompter::Icon::Information);
        return;
    }
    const QList<QTreeWidgetItem*> chosen = backupList_->selectedItems();
    if (chosen.isEmpty()) {
        ShowBox(this, "请选择要还原到哪一个时间点", "提示", Prompter::Icon::Information);
        return;
    }
    const std::string file = chosen.first()->text(kPathColumn).toStdString();
    if (!IsRegularFile(file)) {
        ShowBox(this, "获取备份文件失败", "失败", Prompter::Icon::Error);
        return;
    }
    backupFile_ = file;
    if ((task_.*kind_.server).empty()) {
        ShowBox(this, kind_.missingServer, "失败", Prompter::Icon::Error);
        return;
    }
    RestoreEngine* engine = RestoreEngine::OfMainWindow();
    if (engine == nullptr) {
        ShowBox(this, "主窗口未运行，无法还原", "失败", Prompter::Icon::Error);
        return;
    }
    if (IsRestoring(*engine)) {
        ShowBox(this, Q(RestoreEngine::RestoringText(database_)), "提示", Prompter::Icon::Information);
        return;
    }
    ConfirmRestore(*engine, chosen.first()->text(kTimeColumn));
}

void CDatabaseRestoreDlg::OpenBackupLocation() {
    if (backupList_->topLevelItemCount() == 0) return;
    const QList<QTreeWidgetItem*> chosen = backupList_->selectedItems();
    if (chosen.isEmpty()) {
        ShowBox(this, "请选择要还原到哪一个时间点", kind_.locationCaption, Prompter::Icon::Information);
        return;
    }
    const QString path = chosen.first()->text(kPathColumn);
    if (PathExists(path.toStdString())) {
        OpenInExplorer(this, path.toStdString());
    } else {
        ShowBox(this, kind_.locationMissing + path + "\n\n请重试。", "Velmorand", Prompter::Icon::Error);
    }
}

}  // namespace zov::gui
