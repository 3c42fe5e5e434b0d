#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "engine/settings/SystemLog.h"
#include "platform/FileLock.h"
#include "platform/ProgramDir.h"
#include "platform/ServiceManagerLink.h"
#include "service/MyService.h"
#include "service/ProcessStart.h"

// Without an option the program runs as the backup service, which only a service manager may start.
int main(int argc, char** argv) {
    // Fixed for the process before any thread starts: no thread reads the environment for it.
    zov::ProgramDir();
    zov::CMyService service;
    zov::InitDebugSwitch();
    if (std::optional<int> exitCode = service.ParseCommandLine(argc, argv)) return *exitCode;

    std::optional<zov::ServiceManagerLink> link = zov::ServiceManagerLink::FromEnvironment();
    if (!link) {
        std::printf("错误号：%d\n", ENOTCONN);
        return 1;
    }
    zov::CService::BlockControlSignals();
    int lockExitCode = 0;
    std::optional<zov::FileLock> instanceLock = zov::TakeInstanceLock(lockExitCode);
    if (!instanceLock) return lockExitCode;
    zov::PrepareServiceProcess();
    const int exitCode = service.StartDispatcher(*link);
    // The workers still run: end the process under them, without running destructors of what they use.
    // Log lines and ini files are written in whole steps, so only the standard streams need flushing.
    std::fflush(nullptr);
    closelog();
    _exit(exitCode);
}
