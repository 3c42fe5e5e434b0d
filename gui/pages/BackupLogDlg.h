#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/logs/LogLine.h"
#include "gui/pages/DayLogReader.h"
#include "gui/pages/LogRecordModel.h"

class QCheckBox;
class QLineEdit;
class QTableView;

namespace zov::gui {

// What makes a log view the view of one category: the file, SQL Server and MySQL views are this class.
struct LogViewConfig {
    int category;              // the log category (CQelLog), also the update notices it follows
    std::string categoryText;  // column 1 of its lines
    std::string folder;        // its day files' sub-folder of the log folder
    std::vector<LogColumn> columns;
    bool keepDaysEdit;  // whether the view also sets [LOG] "Save", the days log files are kept
    // A line of the category within the days shown is listed when this accepts it.
    std::function<bool(const LogRecord&)> accepts;
    // Object names of the list, the two day edits, the refresh button and the auto-refresh box.
    const char* listId;
    const char* showDaysId;
    const char* keepDaysId;
    const char* refreshId;
    const char* autoRefreshId;
};

// A log view sub-page: the records of the category's day files of the last days shown (config.ini [LOG]
// "Show"), one row each; "刷 新" lists them afresh a second later; while "自动刷新" is ticked a change of
// today's file size does the same and every update notice of the category adds the lines written since.
// A double click shows the row's own record in the detail dialog.
class CBackupLogDlg : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFirstLoadMs = 1000;
    static constexpr int kSizePollMs = 500;

    CBackupLogDlg(LogViewConfig config, QWidget* parent);

    const LogRecordModel& rows() const { return *model_; }
    QTableView* list() const { return list_; }

  public slots:
    // Lists the lines added to the day files since the last load (all of them after a refresh).
    void Load();
    // Saves the day settings (each 1-100) and lists everything afresh a second later.
    void Refresh();
    // An update notice of category: loads when auto-refresh is ticked and the category is the view's.
    void OnLogChanged(int category);

  private:
    // The folder of the category's day files.
    std::string DayFolder() const;
    void PollTodaysSize();
    void ShowDetail(const QModelIndex& index);
    void ShowMenu(const QPoint& at);
    void OpenLogFolder();
    // The number in the edit when it lies in 1-100; otherwise the range box and nothing.
    std::optional<int> DaysIn(QLineEdit* edit);

    LogViewConfig config_;
    LogRecordModel* model_;
    QTableView* list_;
    QLineEdit* showDays_;
    QLineEdit* keepDays_ = nullptr;
    QCheckBox* autoRefresh_;
    QTimer firstLoad_;
    QTimer sizePoll_;
    DayLogReader reader_;
    int days_ = 2;
    std::int64_t todaysSize_ = -1;
};

}  // namespace zov::gui
