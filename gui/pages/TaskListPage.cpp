#include "gui/pages/TaskListPage.h"

#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/RunStart.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/TaskStore.h"
#include "gui/widgets/ListLook.h"

namespace zov::gui {

namespace {

// The scheduled runs of the row's task as last filled or switched.
constexpr int kScheduledRole = Qt::UserRole + 1;

// Each column at least as wide as its header needs; what that adds is taken back a pixel at a time from the
// column with the most room beyond its header, so the list keeps the total of its default widths.
QList<int> FittedWidths(const QList<int>& defaults, const QList<int>& needed) {
    QList<int> widths(defaults.size());
    int excess = 0;
    for (qsizetype i = 0; i < defaults.size(); ++i) {
        widths[i] = std::max(defaults[i], needed[i]);
        excess += widths[i] - defaults[i];
    }
    for (; excess > 0; --excess) {
        qsizetype roomiest = 0;
        for (qsizetype i = 1; i < widths.size(); ++i) {
            if (widths[i] - needed[i] > widths[roomiest] - needed[roomiest]) roomiest = i;
        }
        if (widths[roomiest] <= needed[roomiest]) break;
        --widths[roomiest];
    }
    return widths;
}

}  // namespace

QString Tick(bool on) { return on ? "√" : "×"; }

QString KeepDaysCell(const TaskInfo& task) {
    return task.keepDays <= 0 ? QString("不删除旧文件") : QString::number(task.keepDays);
}

TaskListPage::TaskListPage(TaskKind kind, const std::vector<Column>& columns, const char* listId,
                           QWidget* parent)
    : QWidget(parent), kind_(kind) {
    MakeWhitePage(*this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(listId);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFont(PageFont(12));
    SetListLook(*list_, ItemLines::RowsAndColumns);
    QStringList headers;
    for (const Column& column : columns) headers.append(column.header);
    list_->setHeaderLabels(headers);
    QList<int> defaults;
    QList<int> needed;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        list_->headerItem()->setTextAlignment(i, Qt::AlignCenter);
        defaults.append(columns[static_cast<std::size_t>(i)].width);
        needed.append(list_->header()->sectionSizeHint(i));
    }
    const QList<int> widths = FittedWidths(defaults, needed);
    for (int i = 0; i < widths.size(); ++i) list_->setColumnWidth(i, widths[i]);
    list_->header()->setStretchLastSection(false);
    for (const Column& column : columns) alignments_.append(column.alignment);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->viewport()->installEventFilter(this);
    connect(list_, &QTreeWidget::itemChanged, this, &TaskListPage::OnItemChanged);
    connect(list_, &QTreeWidget::itemClicked, this, &TaskListPage::UpdateRunButton);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &TaskListPage::UpdateRunButton);
    connect(list_, &QWidget::customContextMenuRequested, this, &TaskListPage::ShowMenu);
    connect(&changedPoll_, &QTimer::timeout, this, &TaskListPage::PollChanged);
    storeWait_.setSingleShot(true);
    connect(&storeWait_, &QTimer::timeout, this, &TaskListPage::Fill);
    changedPoll_.start(kChangedPollMs);
}

void TaskListPage::PollChanged() {
    if (TakeTaskListChanged(kind_)) Fill();
}

void TaskListPage::Fill() {
    CQelXML& store = TaskStore();
    if (!store.IsLoaded()) {
        storeWait_.start(kStoreWaitMs);
        return;
    }
    TakeTaskListChanged(kind_);
    std::vector<TaskInfo> tasks;
    store.GetAllTasks(tasks);
    std::erase_if(tasks, [this](const TaskInfo& task) { return !Shows(task); });
    QList<QTreeWidgetItem*> rows;
    rows.reserve(static_cast<qsizetype>(tasks.size()));
    for (const TaskInfo& task : tasks) {
        auto* row = new QTreeWidgetItem(QStringList{QString::number(task.id)} + Cells(task));
        const bool scheduled = task.HasFlag(kTaskScheduled);
        row->setCheckState(0, scheduled ? Qt::Checked : Qt::Unchecked);
        row->setData(0, kScheduledRole, scheduled);
        for (int i = 0; i < alignments_.size(); ++i)
            row->setTextAlignment(i, alignments_[i] | Qt::AlignVCenter);
        rows.append(row);
    }
    filling_ = true;
    list_->setUpdatesEnabled(false);
    list_->clear();
    list_->addTopLevelItems(rows);
    list_->setUpdatesEnabled(true);
    filling_ = false;
    Filled(tasks);
}

void TaskListPage::Filled(const std::vector<TaskInfo>&) {}

QString TaskListPage::DisableQuestion() const {
    return "确定禁用该任务吗？\n\n禁用后，该任务将不再自动执行，直到重新启用该任务。";
}

void TaskListPage::SetCheckedQuietly(QTreeWidgetItem* item, bool checked) {
    filling_ = true;
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    filling_ = false;
}

void TaskListPage::OnItemChanged(QTreeWidgetItem* item, int column) {
    if (filling_ || column != 0) return;
    const bool checked = item->checkState(0) == Qt::Checked;
    if (checked == item->data(0, kScheduledRole).toBool()) return;
    bool number = false;
    const int id = item->text(0).toInt(&number);
    if (!number || id < 0) return;
    if (!checked && ShowBox(this, DisableQuestion(), "禁用任务", Prompter::Icon::Information,
                            Prompter::Buttons::YesNo, Prompter::Answer::Yes) != Prompter::Answer::Yes) {
        SetCheckedQuietly(item, true);
        return;
    }
    CQelXML& store = TaskStore();
    if (checked ? store.EnableSchedule(id) : store.DisableSchedule(id)) {
        item->setData(0, kScheduledRole, checked);
        return;
    }
    ShowBox(this, checked ? "任务启用失败" : "任务禁用失败", "失败", Prompter::Icon::Error);
    ReloadTaskStore();
    Fill();
}

std::optional<int> TaskListPage::SelectedId() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    bool number = false;
    const int id = selected.front()->text(0).toInt(&number);
    return number ? std::optional<int>(id) : std::nullopt;
}

QString TaskListPage::SelectedText(int column) const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? QString() : selected.front()->text(column);
}

void TaskListPage::SetRunButton(QPushButton* button) {
    run_ = button;
    run_->setEnabled(false);
}

void TaskListPage::UpdateRunButton() {
    if (run_ == nullptr) return;
    const std::optional<int> id = SelectedId();
    run_->setEnabled(id && !MarkedRunning(*id));
}

void TaskListPage::OnRunEnded(int taskId) {
    QTimer::singleShot(kRunButtonDelayMs, this, [this, taskId] {
        if (SelectedId() == taskId) UpdateRunButton();
    });
}

bool TaskListPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* click = static_cast<QMouseEvent*>(event);
        if (list_->itemAt(click->position().toPoint()) == nullptr) {
            list_->clearSelection();
            NewTask();
        } else {
            QTimer::singleShot(0, this, &TaskListPage::ModifyTask);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TaskListPage::ShowMenu(const QPoint& at) {
    QTreeWidgetItem* row = list_->itemAt(at);
    if (row == nullptr) return;
    list_->setCurrentItem(row);
    QMenu menu(this);
    BuildMenu(menu);
    menu.exec(list_->viewport()->mapToGlobal(at));
}

bool TaskListPage::MarkedRunning(int id) {
    return IsHandRunMark(IniFile(TempIniPath()).Read(std::to_string(id), kTempTasksSection));
}

}  // namespace zov::gui
