#include "gui/pages/DatabaseLogViews.h"

#include "engine/logs/QelLog.h"
#include "platform/Paths.h"

namespace zov::gui {

namespace {

bool Listed(const LogRecord& record) {
    return record.taskId >= 0 && !record.item.empty() && record.operation.size() > 1 &&
           (record.target == "---" || IsAbsolutePath(record.target));
}

}  // namespace

LogViewConfig SqlServerLogViewConfig() {
    return LogViewConfig{
        kLogSqlServer,
        CQelLog::CategoryText(kLogSqlServer),
        "SQL Server",
        {{"序号", 40, LogField::Number},
         {"时间", 155, LogField::StartTime},
         {"任务名", 70, LogField::TaskName},
         {"类型", 45, LogField::Operation},
         {"存储路径", 116, LogField::Target, Qt::AlignLeft},
         {"耗时", 48, LogField::Elapsed},
         {"备注", 40, LogField::Result}},
        false,
        &Listed,
        "1340",
        "1122",
        nullptr,
        "1095",
        "1389",
    };
}

LogViewConfig MySqlLogViewConfig() {
    return LogViewConfig{
        kLogMySql,
        CQelLog::CategoryText(kLogMySql),
        "MySQL",
        {{"序号", 40, LogField::Number},
         {"时间", 155, LogField::StartTime},
         {"任务名", 65, LogField::TaskName},
         {"类型", 45, LogField::Operation},
         {"存储路径", 120, LogField::Target, Qt::AlignLeft},
         {"耗时", 48, LogField::Elapsed},
         {"状态", 40, LogField::Result}},
        false,
        &Listed,
        "1343",
        "1345",
        nullptr,
        "1346",
        "1390",
    };
}

}  // namespace zov::gui
