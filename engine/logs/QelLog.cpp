#include "engine/logs/QelLog.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "engine/logs/StateLog.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "engine/util/CommonText.h"
#include "engine/util/ElapsedText.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/Paths.h"

namespace zov {

namespace {

constexpr std::array<const char*, 14> kTypeTexts = {"",     "修改任务", "增加任务", "删除任务", "差异",
                                                    "普通", "还原",     "更新",     "删除文件", "备份",
                                                    "还原", "备份",     "还原",     "删除文件"};
constexpr const char* kUnsetColumn = "---";
constexpr int kNoticeFirst = 0xE00;
constexpr int kNoticeFlip = 0xE00 ^ 0xF00;
constexpr std::size_t kTimeTextLength = 19;
constexpr std::size_t kDateTextLength = 10;

// Bits 0xF00 of the UpdateLog notice: 0xE00 and 0xF00 alternate with every line this process writes.
std::atomic<int> noticeToggle{kNoticeFirst};

bool IsCategory(int category) { return category >= kLogFiles && category <= kLogInterface; }

// The sub-folder of a category's files under the log folder; "" for other categories.
std::string CategoryFolder(int category) {
    switch (category) {
        case kLogFiles:
            return "Files/";
        case kLogSqlServer:
            return "SQL Server/";
        case kLogMySql:
            return "MySQL/";
        case kLogInterface:
            return "UI/";
        default:
            return "";
    }
}

// The file name of a category's log for a date "YYYY-MM-DD".
std::string CategoryFileName(int category, const std::string& date) {
    return category == kLogInterface ? "UI.log" : date + ".log";
}

// A column never holds a tab or a line break, so every record stays one line of ten columns.
std::string Column(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace

void CQelLog::SetType(int type) {
    if (type >= 1 && type <= 13) type_ = type;
}

std::string CQelLog::TypeText(int type) { return type >= 1 && type <= 13 ? kTypeTexts[type] : ""; }

std::string CQelLog::CategoryText(int category) {
    switch (category) {
        case kLogFiles:
            return "文件日志";
        case kLogSqlServer:
            return "MSSQL日志";
        case kLogMySql:
            return "MYSQL日志";
        case kLogInterface:
            return "界面操作";
        default:
            return "";
    }
}

void CQelLog::SetCategory(int category, bool daily) {
    category_ = category;
    logPath_ = LogFolder();
    if (!IsCategory(category)) return;
    const std::string date = FormatLocalTime(Now(), "%Y-%m-%d");
    logPath_ += daily ? CategoryFolder(category) + CategoryFileName(category, date) : date + ".log";
}

void CQelLog::Start() { startTime_ = Now(); }

bool CQelLog::Write() {
    if (!IsCategory(category_) || startTime_ == 0 || logPath_.empty()) return false;
    const std::string folder = GetParentFolder(logPath_);
    if (!PathExists(logPath_) && !IsDirectory(folder) && !CreateFolderChain(folder, kLogFolderMode))
        return false;

    endTime_ = Now();
    elapsed_ = std::max<std::time_t>(endTime_ - startTime_, 0);
    const std::string type = type_ == 0 ? kUnsetColumn : TypeText(type_);
    const std::string line =
        CategoryText(category_) + "\t" + FormatLocalTime(startTime_, "%Y-%m-%d %H:%M:%S") + "\t" +
        std::to_string(taskId_) + "\t" + Column(taskName_) + "\t" + type + "\t" + Column(item_) + "\t" +
        Column(target_) + "\t" + FormatElapsed(static_cast<std::uint64_t>(elapsed_)) + "\t" +
        Column(result_) + "\t" + Column(message_);
    if (!AppendLine(line, logPath_)) return false;
    WriteUpdateLog(noticeToggle.fetch_xor(kNoticeFlip) | category_);
    return true;
}

bool CQelLog::FindLogLine(int category, const std::string& timeText, const std::string& folder,
                          std::vector<std::string>& columns) {
    if (timeText.size() != kTimeTextLength) return false;
    std::string directory = folder;
    if (directory.empty()) {
        if (!IsCategory(category)) return false;
        directory = LogFolder() + CategoryFolder(category);
    }
    NormalizeDir(directory);
    const std::string date = timeText.substr(0, timeText.find(' '));
    if (category != kLogInterface && date.size() != kDateTextLength) return false;

    std::string text;
    if (!ReadTextFile(text, directory + CategoryFileName(category, date), true)) return false;
    // The start time is the second column: it follows the first tab of its line.
    for (std::size_t at = text.find(timeText); at != std::string::npos; at = text.find(timeText, at + 1)) {
        const std::size_t lineStart = at == 0 ? 0 : text.rfind('\n', at - 1) + 1;
        if (at == 0 || text[at - 1] != '\t' || text.find('\t', lineStart) != at - 1) continue;
        const std::size_t lineEnd = text.find('\n', at);
        SplitToList(columns, std::string_view(text).substr(at, lineEnd - at), '\t', true, 0);
        return true;
    }
    return false;
}

}  // namespace zov
