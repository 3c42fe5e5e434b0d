#include "engine/logs/LogLine.h"

#include <array>
#include <cstdlib>

namespace zov {

namespace {

constexpr std::size_t kMaxColumns = 10;
constexpr std::size_t kMinColumns = 9;

}  // namespace

std::optional<LogRecord> ParseLogLine(std::string_view line) {
    std::array<std::string_view, kMaxColumns> columns;
    std::size_t count = 0;
    while (true) {
        if (count == kMaxColumns) return std::nullopt;
        const std::size_t tab = line.find('\t');
        columns[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    if (count < kMinColumns) return std::nullopt;
    LogRecord record;
    record.category = columns[0];
    record.startTime = columns[1];
    record.taskId = std::atoi(std::string(columns[2]).c_str());
    record.taskName = columns[3];
    record.operation = columns[4];
    record.item = columns[5];
    record.target = columns[6];
    record.elapsed = columns[7];
    record.result = columns[8];
    record.hasMessage = count == kMaxColumns;
    if (record.hasMessage) record.message = columns[9];
    return record;
}

}  // namespace zov
