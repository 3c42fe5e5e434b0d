#include "gui/shell/LogResults.h"

#include <fstream>

#include "engine/settings/ProgramFiles.h"
#include "platform/Clock.h"

namespace zov::gui {

void CountLogResults(const std::string& path, LogResults& results) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.find("\t成功\t") != std::string::npos) {
            ++results.successes;
        } else {
            ++results.failures;
        }
    }
}

LogResults TodayResults() {
    const std::string name = FormatLocalTime(Now(), "%Y-%m-%d") + ".log";
    const std::string logFolder = LogFolder();
    LogResults results;
    for (const char* category : {"Files/", "SQL Server/", "MySQL/"})
        CountLogResults(logFolder + category + name, results);
    return results;
}

}  // namespace zov::gui
