#include "engine/settings/ProgramFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/settings/IniFile.h"
#include "engine/settings/SystemError.h"
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
bool KeepFilePrivate(const std::string& path, const std::string& what) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT;
    struct stat info {};
    bool kept = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (kept && (info.st_mode & 077) != 0) {
        kept = ::fchmod(fd, info.st_mode & 0700) == 0;
        LogSystemError(kept ? path + " 含有" + what + "，已改为仅所有者可读写"
                            : path + " 含有" + what + "，但无法改为仅所有者可读写");
    }
    ::close(fd);
    return kept;
}

bool KeepConfigIniPrivate() { return KeepFilePrivate(ConfigIniPath(), "数据库密码"); }

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
