#include "gui/pages/FileLogView.h"

#include "engine/logs/QelLog.h"
#include "platform/Paths.h"

namespace zov::gui {

namespace {

constexpr const char* kNoPath = "---";

bool IsPathOrNone(const std::string& text) { return text == kNoPath || IsAbsolutePath(text); }

}  // namespace

LogViewConfig FileLogViewConfig() {
    return LogViewConfig{
        kLogFiles,
        CQelLog::CategoryText(kLogFiles),
        "Files",
        {{"序号", 40, LogField::Number},
         {"时间", 155, LogField::StartTime},
         {"任务名", 55, LogField::TaskName},
         {"类型", 45, LogField::Operation},
         {"存储路径", 116, LogField::Target, Qt::AlignLeft},
         {"耗时", 48, LogField::Elapsed},
         {"状态", 40, LogField::Result}},
        true,
        [](const LogRecord& record) {
            return record.taskId >= 0 && IsPathOrNone(record.item) && IsPathOrNone(record.target) &&
                   record.operation.size() > 1;
        },
        "1168",
        "1170",
        "1172",
        "1095",
        "1383",
    };
}

}  // namespace zov::gui
