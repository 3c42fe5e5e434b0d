#include "gui/app/StowmeranApp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "engine/files/CacheFolder.h"
#include "engine/logs/LogPrivacy.h"
#include "engine/mssql/FolderAcl.h"
#include "engine/mssql/SqlServerConnection.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemLog.h"
#include "gui/app/MainWindow.h"
#include "gui/shell/AutoAnswerPrompter.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/SingleInstance.h"
#include "gui/shell/StartupSplash.h"
#include "gui/shell/UserCache.h"
#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

constexpr const char* kStatisticsProduct = "qelzov";

// A new empty file, never through a link planted in its place.
bool CreateEmptyFile(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    return close(fd) == 0;
}

}  // namespace

bool CStowmeranApp::PrepareProgramFolder() {
    const std::string taskDb = TaskDbPath();
    struct stat info {};
    if (stat(taskDb.c_str(), &info) != 0) {
        if (!CreateEmptyFile(taskDb)) {
            ShowBox(nullptr, "配置文件不存在，且无法创建。程序将退出", "初始化出错", Prompter::Icon::Error);
            return false;
        }
        firstStart_ = true;
    }
    IniFile(ConfigIniPath()).Write("Dir", "LOG", LogFolderDefault());
    KeepSqlServerPasswordPrivate();
    KeepLogsPrivate();
    return true;
}

int CStowmeranApp::Run() {
    const std::string programDir = ProgramDir();
    InitDebugSwitch();
    LogAccessSteps(true);
    SetTempFolderPrefix(kInterfaceTempPrefix);
    InstallPrompterFromEnvironment();
    if (!PrepareProgramFolder()) return kFailedStart;

    SingleInstance instance;
    switch (instance.ClaimFolder(programDir)) {
        case SingleInstance::Claim::First:
            WriteSystemLog("管理程序启动，程序目录：" + programDir, true, true);
            break;
        case SingleInstance::Claim::RaisedOther:
            return 0;
        case SingleInstance::Claim::OtherNotReady:
            return kFailedStart;
        case SingleInstance::Claim::Failed:
            std::fprintf(stderr, "stowmeran: the lock in %srun/ cannot be taken\n", programDir.c_str());
            return kFailedStart;
    }

    {
        CStartupDlg splash;
        switch (splash.Run()) {
            case CStartupDlg::Outcome::Done:
                break;
            case CStartupDlg::Outcome::TimedOut:
                // The load cannot be stopped and still uses the task store: end without destroying it.
                std::_Exit(kFailedStart);
            default:
                return kFailedStart;
        }
    }

    if (firstStart_) {
        firstStart_ = false;
        CQelSetup reporter;
        reporter.SetReportParams(kStatisticsProduct, StatisticsAddress());
        reporter.StartReport();
    }

    int status = 0;
    {
        CStowmeranDlg window;
        QObject::connect(&instance, &SingleInstance::raiseRequested, &window,
                         &CStowmeranDlg::RaiseFromOtherStart);
        instance.Listen();
        window.show();
        status = QApplication::exec();
    }
    UsageCounters().Save();
    WriteSystemLog("管理程序退出", true, true);
    return status;
}

}  // namespace zov::gui
