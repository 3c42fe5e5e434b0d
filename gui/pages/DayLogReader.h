#pragma once

#include <sys/types.h>

#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "engine/logs/LogLine.h"

namespace zov::gui {

// Reads the records of one log category from its day files for a log view: the files "YYYY-MM-DD.log" of
// the folder (no other name) whose day lies within the last days (today included), in day order. Each
// file is read up to its last complete line; a later Read adds only the complete lines written since, so
// that every line is read once and a line still being written is read once it is complete.
class DayLogReader {
  public:
    struct Batch {
        bool fromStart = false;  // the records start over: what was listed before is to be dropped
        std::vector<LogRecord> records;
    };

    explicit DayLogReader(std::string categoryText) : category_(std::move(categoryText)) {}

    // The next Read starts over.
    void Reset();
    // The records of category whose start time is not earlier than now minus days: everything after a
    // Reset (or when a file became shorter or was replaced), else the lines added since the last Read.
    Batch Read(const std::string& folder, int days, std::time_t now);

  private:
    struct FileState {
        dev_t device = 0;
        ino_t inode = 0;
        off_t consumed = 0;  // bytes up to the end of the last complete line read
    };

    // Appends the new complete lines of one file; false when the file shrank or was replaced.
    bool ReadFile(const std::string& path, const std::string& cutoff, std::vector<LogRecord>& records);

    std::string category_;
    std::string folder_;
    std::map<std::string, FileState> files_;
    bool fresh_ = true;
};

}  // namespace zov::gui
