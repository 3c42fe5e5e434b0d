#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace zov {

// Log categories: the low byte of the UpdateLog notice and the folder of the daily files.
enum LogCategory : int {
    kLogFiles = 100,      // "Files/YYYY-MM-DD.log"
    kLogSqlServer = 101,  // "SQL Server/YYYY-MM-DD.log"
    kLogMySql = 102,      // "MySQL/YYYY-MM-DD.log"
    kLogInterface = 103,  // "UI/UI.log"
};

// Result texts of column 9.
inline constexpr const char* kLogSucceeded = "成功";
inline constexpr const char* kLogFailed = "失败";

// One log record: a line of ten tab-separated columns (category, start time, task id, task name,
// operation, item, target, elapsed time, result, message) appended to the file of its category, followed
// by an UpdateLog notice. Tabs and line breaks inside the texts are written as blanks.
class CQelLog {
  public:
    // 1..13; other values are ignored. A record whose type is unset (0) writes "---" as its operation.
    void SetType(int type);
    int GetType() const { return type_; }
    void SetTaskId(int id) { taskId_ = id; }
    int GetTaskId() const { return taskId_; }
    void SetTaskName(const std::string& name) { taskName_ = name; }
    const std::string& GetTaskName() const { return taskName_; }
    void SetItem(const std::string& item) { item_ = item; }
    const std::string& GetItem() const { return item_; }
    void SetTarget(const std::string& target) { target_ = target; }
    const std::string& GetTarget() const { return target_; }
    void SetMessage(const std::string& message) { message_ = message; }
    const std::string& GetMessage() const { return message_; }
    void SetResult(const std::string& result) { result_ = result; }
    const std::string& GetResult() const { return result_; }
    void SetLogPath(const std::string& path) { logPath_ = path; }
    const std::string& GetLogPath() const { return logPath_; }

    // Sets the category and the file path: the log folder + the category's file when daily, else the log
    // folder + "YYYY-MM-DD.log"; other categories leave the path at the log folder.
    void SetCategory(int category, bool daily = true);
    int GetCategory() const { return category_; }

    // Stamps the start time with the current time.
    void Start();
    void SetStartTime(std::time_t when) { startTime_ = when; }
    std::time_t GetStartTime() const { return startTime_; }
    void SetEndTime(std::time_t when) { endTime_ = when; }
    std::time_t GetEndTime() const { return endTime_; }
    void SetElapsed(std::time_t seconds) { elapsed_ = seconds; }
    std::time_t GetElapsed() const { return elapsed_; }

    // The operation text of a type ("" outside 1..13).
    static std::string TypeText(int type);
    // Column 1 of a category ("" for other categories).
    static std::string CategoryText(int category);

    // Appends the line (end time = now, elapsed = now - start) and sends the notice. Writes nothing and
    // returns false when the category is not 100..103, the start time is unset or the file cannot be
    // opened.
    bool Write();

    // Finds the line of the given start time "YYYY-MM-DD HH:MM:SS" in the file of a category and splits it,
    // from the start time on, at tabs into columns (empty columns kept, so each keeps its place). folder ""
    // means the log folder (LogFolder) + the category's sub-folder; otherwise the file lies directly in
    // folder.
    static bool FindLogLine(int category, const std::string& timeText, const std::string& folder,
                            std::vector<std::string>& columns);

  private:
    int type_ = 0;
    int taskId_ = 0;
    std::string taskName_;
    std::string item_;
    std::string target_;
    std::string message_;
    std::string result_;
    std::string logPath_;
    int category_ = 0;
    std::time_t startTime_ = 0;
    std::time_t endTime_ = 0;
    std::time_t elapsed_ = 0;
};

}  // namespace zov
