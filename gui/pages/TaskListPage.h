#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

#include "engine/tasks/TaskInfo.h"
#include "gui/pages/TaskListChanged.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace zov::gui {

// The rules every task list of the management program shares. Rows come only from a fill: the tasks of the
// list's kind that the program's task store holds (records that do not parse are left out, the others
// still listed), one at a time, on the window thread, never switching a schedule. A row's check box shows
// and switches the task's scheduled runs (switching off asks first); a change whose save failed is
// reported and the store read again. The list fills itself again within 500 ms of its kind's changed
// flag.
class TaskListPage : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kChangedPollMs = 500;
    static constexpr int kStoreWaitMs = 50;

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

  public slots:
    // Fills the list from the task store now, or as soon as the store is loaded.
    void Fill();

  protected:
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

    TaskKind kind_;
    QList<Qt::Alignment> alignments_;
    QTreeWidget* list_;
    QTimer changedPoll_;
    QTimer storeWait_;
    bool filling_ = false;
};

// "√" or "×".
QString Tick(bool on);

}  // namespace zov::gui
