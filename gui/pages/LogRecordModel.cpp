#include "gui/pages/LogRecordModel.h"

namespace zov::gui {

namespace {

QString FieldText(const LogRecord& record, LogField field, int row) {
    switch (field) {
        case LogField::Number:
            return QString::number(row + 1);
        case LogField::StartTime:
            return QString::fromStdString(record.startTime);
        case LogField::TaskName:
            return record.taskName.empty() ? QString("-") : QString::fromStdString(record.taskName);
        case LogField::Operation:
            return QString::fromStdString(record.operation);
        case LogField::Target:
            return QString::fromStdString(record.target);
        case LogField::Elapsed:
            return QString::fromStdString(record.elapsed);
        case LogField::Result:
            return QString::fromStdString(record.result);
    }
    return {};
}

}  // namespace

LogRecordModel::LogRecordModel(std::vector<LogColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

void LogRecordModel::Clear() {
    beginResetModel();
    records_.clear();
    endResetModel();
}

void LogRecordModel::Append(std::vector<LogRecord> records) {
    if (records.empty()) return;
    const int first = static_cast<int>(records_.size());
    beginInsertRows({}, first, first + static_cast<int>(records.size()) - 1);
    records_.insert(records_.end(), std::make_move_iterator(records.begin()),
                    std::make_move_iterator(records.end()));
    endInsertRows();
}

int LogRecordModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int LogRecordModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant LogRecordModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    const LogColumn& column = columns_[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole) return FieldText(Record(index.row()), column.field, index.row());
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    return {};
}

QVariant LogRecordModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return columns_[static_cast<std::size_t>(section)].header;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

}  // namespace zov::gui
