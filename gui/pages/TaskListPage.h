#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

#include "engine/tasks/TaskInfo.h"
#include "gui/pages/TaskListChanged.h"

class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zov::gui {

// The rules every task list of the management program shares. Rows come only from a fill: the tasks of the
// list's kind that the program's task store holds (records that do not parse are left out, the others
// still listed), one at a time, on the window thread, never switching a schedule. A row's check box shows
// and switches the task's scheduled runs (switching off asks first); a change whose save failed is
// reported and the store read again. The list fills itself again within 500 ms of its kind's changed
// flag. A double click opens the selected task, or a new one below the rows; a right click on a row shows
// its menu. The run button is on while the selected task is not run at once.
class TaskListPage : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kChangedPollMs = 500;
    static constexpr int kStoreWaitMs = 50;
    static constexpr int kRunButtonDelayMs = 500;

    struct Column {
        QString header;
        int width;
        Qt::Alignment alignment;
    };

    TaskListPage(TaskKind kind, const std::vector<Column>& columns, const char* listId, QWidget* parent);

    QTreeWidget* list() const { return list_; }
    // The id of the selected row (column 0); nullopt without a selection.
    std::optional<int> SelectedId() const;
    // A column's text of the selected row; "" without a selection.
    QString SelectedText(int column) const;
    // Whether temp.ini [TEMPTASKS] "<id>" marks a run at once of the task.
    static bool MarkedRunning(int id);

    QPushButton* runButton() const { return run_; }
    // The context menu of the selected row, as a right click shows it.
    virtual void BuildMenu(QMenu& menu) = 0;

  public slots:
    // Fills the list from the task store now, or as soon as the store is loaded.
    void Fill();
    virtual void NewTask() = 0;
    virtual void ModifyTask() = 0;
    // The run button on while a row is selected whose task is not marked as run at once.
    void UpdateRunButton();
    // A run at once of the task ended: the run button comes back after 500 ms when its row is selected.
    void OnRunEnded(int taskId);

  signals:
    // Run the task now (the page runs it).
    void runRequested(int taskId);

  protected:
    // The button that runs the selected task, kept on and off by the list.
    void SetRunButton(QPushButton* button);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The tasks the list shows, and the cells of columns 1 and on of a task's row.
    virtual bool Shows(const TaskInfo& task) const = 0;
    virtual QStringList Cells(const TaskInfo& task) const = 0;
    // After each fill, with the tasks listed.
    virtual void Filled(const std::vector<TaskInfo>& listed);
    // The Yes/No question before the scheduled runs of a task are switched off.
    virtual QString DisableQuestion() const;

  private:
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void SetCheckedQuietly(QTreeWidgetItem* item, bool checked);
    void PollChanged();
    void ShowMenu(const QPoint& at);

    TaskKind kind_;
    QPushButton* run_ = nullptr;
    QList<Qt::Alignment> alignments_;
    QTreeWidget* list_;
    QTimer changedPoll_;
    QTimer storeWait_;
    bool filling_ = false;
};

// "√" or "×".
QString Tick(bool on);
// The keep-days cell of a task: the days, or "不删除旧文件" when old backups are kept.
QString KeepDaysCell(const TaskInfo& task);

}  // namespace zov::gui
