#include "gui/shell/LogResults.h"

#include "engine/settings/ProgramFiles.h"
#include "platform/Clock.h"

namespace zov::gui {

LogResults TodayResults() {
    const std::string name = FormatLocalTime(Now(), "%Y-%m-%d") + ".log";
    const std::string logFolder = LogFolder();
    LogResults results;
    for (const char* category : {"Files/", "SQL Server/", "MySQL/"}) {
        if (const std::optional<LogResults> counted = CountLogResults(logFolder + category + name)) {
            results.successes += counted->successes;
            results.failures += counted->failures;
        }
    }
    return results;
}

}  // namespace zov::gui
