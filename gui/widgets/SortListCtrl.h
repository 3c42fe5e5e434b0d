#pragma once

#include <QList>
#include <QString>
#include <QTreeWidget>

namespace zov::gui {

// A report list that sorts its rows when a column header is clicked: the first click on a column sorts
// ascending, the next descending, and a column sorted before goes on from its own last direction. The
// header's arrow shows the column and direction of the last sort. A column whose non-empty cells are all
// numbers (IsNumericText) sorts by their integer parts, any other column by its text with ASCII letters
// folded. Rows keep their data.
class CSortListCtrl : public QTreeWidget {
    Q_OBJECT

  public:
    explicit CSortListCtrl(QWidget* parent = nullptr);

    // Sorts as a click on the column's header does; returns true when this sort was ascending.
    bool SortByColumn(int column);
    // Draws the grid lines of a report list between the cells.
    void ShowGridLines();

  private:
    QList<bool> lastAscending_;  // per column: the last sort of it was ascending
};

// True for an optional sign followed by digits with at most one '.', trailing white space ignored; a text
// that is only a sign or only "." counts. False for an empty text.
bool IsNumericText(const QString& text);

}  // namespace zov::gui
