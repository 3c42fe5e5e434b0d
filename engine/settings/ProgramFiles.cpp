#include "engine/settings/ProgramFiles.h"

#include "engine/settings/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {
namespace {

constexpr const char* kConfigIni = "config.ini";
constexpr const char* kTempIni = "temp.ini";
constexpr const char* kTaskDb = "task.db";
constexpr const char* kDebugLog = "debug/debug.log";
constexpr const char* kLogFolder = "Log/";

}  // namespace

std::string ConfigIniPath() { return ProgramDir() + kConfigIni; }
std::string TempIniPath() { return ProgramDir() + kTempIni; }
std::string TaskDbPath() { return ProgramDir() + kTaskDb; }
std::string DebugLogPath() { return ProgramDir() + kDebugLog; }
std::string RunFolder() { return RunFolderOf(ProgramDir()); }
std::string LogFolderDefault() { return ProgramDir() + kLogFolder; }

std::string LogFolder() {
    std::string configured = IniFile(ConfigIniPath()).Read("Dir", "LOG");
    return configured.empty() ? LogFolderDefault() : WithTrailingSlash(configured);
}

}  // namespace zov
