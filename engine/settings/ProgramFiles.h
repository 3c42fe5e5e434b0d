#pragma once

#include <string>

// The files and folders of the program folder. Every path is built from zov::ProgramDir() on each call.
namespace zov {

std::string ConfigIniPath();  // "config.ini"
// A file of ours that holds secrets (what names them for the log): when others may use it (a hand-edited
// or copied file keeps the mode it was given), it is narrowed to its owner and the change is logged. False
// when it is not private afterwards; true for a missing file.
bool KeepFilePrivate(const std::string& path, const std::string& what);
// KeepFilePrivate of config.ini, which holds a database password.
bool KeepConfigIniPrivate();
std::string TempIniPath();       // "temp.ini"
std::string TaskDbPath();        // "task.db"
std::string DebugLogPath();      // "debug/debug.log"; its existence switches debug logging on
std::string RunFolder();         // "run/", locks and local service records
std::string LogFolderDefault();  // "Log/"
// config.ini [LOG] "Dir", or LogFolderDefault() when that is missing or empty; with a trailing '/'.
std::string LogFolder();

}  // namespace zov
