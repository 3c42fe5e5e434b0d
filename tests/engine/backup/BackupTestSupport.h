#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonText.h"
#include "support/ChinaTimeClock.h"
#include "support/RecordingJob.h"
#include "support/TempProgramDir.h"
#include "support/Trees.h"

namespace zov::test {

inline constexpr const char* kStamp = "20240305140709";

// Bytes that do not compress, the same on every call.
inline std::string RandomBytes(std::size_t size) {
    std::mt19937 generator(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

// The names in a folder, sorted; none when it cannot be read.
inline std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        names.insert(it->path().filename().string());
    }
    return names;
}

// A log column as the log writer stores a text: tabs and line breaks become blanks.
inline std::string AsColumn(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

// A program folder with a source tree "src/Work Files/" and the storage folder "bak", at 2024-03-05
// 14:07:09 (UTC+8) on a clock that does not move by itself.
class BackupTest : public ::testing::Test {
  protected:
    BackupTest() {
        IniFile(ConfigIniPath()).Write("Dir", "LOG", program_ / "Log/");
        WriteFile(source_ + "a.txt", "alpha");
        WriteFile(source_ + "报告.txt", "年度报告");
        WriteFile(source_ + "sub/b.doc", "bravo");
        WriteFile(source_ + "sub/deep/c.txt", "charlie");
        std::filesystem::create_directories(source_ + "empty");
    }

    TaskInfo Task(int flags) const {
        TaskInfo task;
        task.id = 12;
        task.name = "每日文件";
        task.flags = flags;
        task.source = source_;
        task.dest = storage_;
        return task;
    }

    // The columns of every line of today's file log.
    std::vector<std::vector<std::string>> LogLines() const {
        std::vector<std::vector<std::string>> lines;
        std::istringstream text(ReadFile(program_ / "Log/Files/2024-03-05.log"));
        for (std::string line; std::getline(text, line);) {
            std::vector<std::string> columns;
            SplitToList(columns, line, '\t', true, 0);
            lines.push_back(columns);
        }
        return lines;
    }

    std::string Dated() const { return storage_ + "/2024-03-05/"; }
    // The name of the run's set: "Work Files_" + the stamp.
    static std::string Set() { return std::string("Work Files_") + kStamp; }
    std::string CurrentTask() const { return IniFile(TempIniPath()).Read("12", kCurrentTaskSection); }

    TempProgramDir program_;
    ChinaTimeClock time_{2024, 3, 5, 14, 7, 9};
    const std::string source_ = program_ / "src/Work Files/";
    const std::string storage_ = program_ / "bak";
    CBackup backup_;
    RecordingJob job_;
};

}  // namespace zov::test
