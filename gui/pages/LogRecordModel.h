#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <deque>
#include <vector>

#include "engine/logs/LogLine.h"

namespace zov::gui {

// The fields of a record a log view's column shows.
enum class LogField { Number, StartTime, TaskName, Operation, Target, Elapsed, Result };

struct LogColumn {
    QString header;
    int width;
    LogField field;
    Qt::Alignment alignment = Qt::AlignCenter;
};

// The rows of a log view: each row holds its own record; the number column counts from 1. An empty task
// name shows as "-".
class LogRecordModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    LogRecordModel(std::vector<LogColumn> columns, QObject* parent);

    void Clear();
    void Append(std::vector<LogRecord> records);
    const LogRecord& Record(int row) const { return records_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<LogColumn> columns_;
    // A deque: appending never moves the rows already held.
    std::deque<LogRecord> records_;
};

}  // namespace zov::gui
