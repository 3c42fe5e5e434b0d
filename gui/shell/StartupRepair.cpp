#include "gui/shell/StartupRepair.h"

#include <chrono>

#include "engine/control/ServiceCtrl.h"
#include "gui/shell/ServiceRepair.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/ProcessRunner.h"

namespace zov::gui {

namespace {

using namespace std::chrono_literals;

constexpr int kMostActions = 3;
constexpr auto kPauseAfterStart = 1500ms;
constexpr auto kPauseAfterInstall = 1000ms;

void RunInstaller(const std::string& program, const std::stop_token& stop) {
    ProcessOptions options;
    options.timeout = std::chrono::seconds(kInstallerTimeoutSeconds);
    options.stop = stop;
    RunProcess({program, "-install"}, options);
}

}  // namespace

bool RepairServiceAtStart(std::string& message, const std::stop_token& stop) {
    const std::string program = ServiceProgramPath();
    if (!IsRegularFile(program)) {
        message = "服务文件 " + program + " 不存在，无法进行修复";
        return false;
    }
    int actions = 0;
    bool acted = false;
    while (!stop.stop_requested()) {
        const int state = GetServiceState(kBackupServiceName);
        switch (state) {
            case kServiceManagerUnreachable:
                message = "查询服务状态时失败";
                return false;
            case kServiceStopped:
            case kServicePaused:
                StartServiceWait(kBackupServiceName);
                acted = true;
                if (actions >= kMostActions) {
                    message = "服务修复失败：服务启动失败";
                    return false;
                }
                ++actions;
                SleepUnlessStopped(stop, kPauseAfterStart);
                break;
            case kServiceStopPending:
                acted = true;
                if (actions >= kMostActions) {
                    message = "服务正在停止或正在暂停，暂时无法响应修复操作";
                    return false;
                }
                ++actions;
                SleepUnlessStopped(stop, kPauseAfterStart);
                break;
            case kServiceNotInstalled:
                acted = true;
                if (actions >= kMostActions) {
                    message = "服务修复失败：安装服务失败";
                    return false;
                }
                ++actions;
                RunInstaller(program, stop);
                SleepUnlessStopped(stop, kPauseAfterInstall);
                break;
            default:
                if (!acted) {
                    message = "服务正在运行或正在启动，不需要修复";
                    return true;
                }
                if (GetServiceState(kBackupServiceName) == kServiceRunning) message = "服务修复成功";
                return true;
        }
    }
    message = "服务修复失败：修复被中止";
    return false;
}

}  // namespace zov::gui
