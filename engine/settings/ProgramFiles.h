#pragma once

#include <string>

// The files and folders of the program folder. Every path is built from zov::ProgramDir() on each call.
namespace zov {

std::string ConfigIniPath();  // "config.ini"
// config.ini holds a database password: when others may read it (a hand-edited file keeps its editor's
// mode), it is narrowed to its owner and the change is logged. False when it is not private afterwards.
bool KeepConfigIniPrivate();
std::string TempIniPath();       // "temp.ini"
std::string TaskDbPath();        // "task.db"
std::string DebugLogPath();      // "debug/debug.log"; its existence switches debug logging on
std::string RunFolder();         // "run/", locks and local service records
std::string LogFolderDefault();  // "Log/"
// config.ini [LOG] "Dir", or LogFolderDefault() when that is missing or empty; with a trailing '/'.
std::string LogFolder();

}  // namespace zov
