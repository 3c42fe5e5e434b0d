#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zov {

// One record of a daily log read back: the columns of a line that CQelLog::Write wrote.
struct LogRecord {
    std::string category;   // column 1, "文件日志", "MSSQL日志", ...
    std::string startTime;  // "YYYY-MM-DD HH:MM:SS"
    int taskId = 0;         // the leading number of column 3, 0 when it has none
    std::string taskName;
    std::string operation;
    std::string item;
    std::string target;
    std::string elapsed;
    std::string result;
    std::string message;
    bool hasMessage = false;  // the line had its tenth column

    bool operator==(const LogRecord&) const = default;
};

// Splits one line (without its line end) at tabs, empty columns kept; nullopt unless it has 9 or 10 columns.
std::optional<LogRecord> ParseLogLine(std::string_view line);

}  // namespace zov
