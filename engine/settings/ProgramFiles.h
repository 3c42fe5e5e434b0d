#pragma once

#include <string>

// The files and folders of the program folder. Every path is built from zov::ProgramDir() on each call.
namespace zov {

std::string ConfigIniPath();     // "config.ini"
std::string TempIniPath();       // "temp.ini"
std::string TaskDbPath();        // "task.db"
std::string DebugLogPath();      // "debug/debug.log"; its existence switches debug logging on
std::string RunFolder();         // "run/", locks and local service records
std::string LogFolderDefault();  // "Log/"
// config.ini [LOG] "Dir", or LogFolderDefault() when that is missing or empty; with a trailing '/'.
std::string LogFolder();

}  // namespace zov
