#include "service/ProcessStart.h"

#include <cerrno>
#include <cstdio>
#include <thread>

#include "engine/logs/LogPrivacy.h"
#include "engine/mssql/FolderAcl.h"
#include "engine/mssql/SqlServerConnection.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "platform/ProgramDir.h"
#include "service/RunState.h"

namespace zov {
namespace {

constexpr const char* kInstanceLockName = "zovsvc.lock";

struct TaskStoreState {
    SharedTaskStore store{TaskDbPath()};
    std::jthread loader;  // declared last: joined before the store is destroyed
};

TaskStoreState& TaskStore() {
    static TaskStoreState state;
    return state;
}

}  // namespace

SharedTaskStore& ServiceTaskStore() { return TaskStore().store; }

std::optional<FileLock> TakeInstanceLock(int& exitCode) {
    FileLock lock;
    if (std::optional<std::string> folder = PrivateRunFolder(ProgramDir())) {
        lock = FileLock::TryAcquire(*folder + kInstanceLockName, FileLock::Mode::Exclusive);
    }
    const int error = errno;
    if (lock.held()) return lock;
    if (error == EWOULDBLOCK) {
        WriteSystemLog("只能运行一个服务程序", true, true);
        exitCode = 0;
    } else {
        char text[160];
        std::snprintf(text, sizeof text, "创建互斥量失败（错误号：%d），服务程序异常退出。", error);
        WriteSystemLog(text, true, true);
        exitCode = 1;
    }
    return std::nullopt;
}

void PrepareServiceProcess() {
    IniFile(ConfigIniPath()).Write("Dir", "LOG", LogFolderDefault());
    KeepSqlServerPasswordPrivate();
    KeepLogsPrivate();
    ReleaseStaleServerAccess();
    TaskStore().loader = std::jthread([] { ServiceTaskStore().Refresh(); });
    ResetDailySections();
}

}  // namespace zov
