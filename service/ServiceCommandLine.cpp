#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>

#include "engine/control/ServiceCtrl.h"
#include "platform/Clock.h"
#include "platform/ProgramDir.h"
#include "platform/Text.h"
#include "service/Service.h"

namespace zov {
namespace {

constexpr std::chrono::milliseconds kPauseAfterFailedRemoval{1000};

bool IsOption(const std::string& argument, const char* option) {
    return argument == std::string("-") + option || argument == std::string("/") + option;
}

// Why an installed service whose start was asked for is not running, by the state the wait ended in.
std::string NotRunningReason(int state) {
    switch (state) {
        case kServiceRunning:
            return "";
        case kServiceStopped:
            return "it ended after its start (see syslog and Log/Files/system.log)";
        case kServiceNotInstalled:
            return "it is no longer installed";
        case kServiceManagerUnreachable:
            return "the service manager cannot be asked";
        default:
            return "it was not running after " +
                   std::to_string(kServiceWaitPolls * kServiceWaitIntervalMs / 1000) + " s (state " +
                   std::to_string(state) + ")";
    }
}

}  // namespace

bool CService::IsServiceInstalled() { return ServiceInstalled(name_); }

bool CService::RemoveSelf() {
    std::unique_ptr<ServiceManager> manager = OpenServiceManager();
    const int state = manager->GetState(name_);
    if (state == kServiceManagerUnreachable) {
        lastError_ = manager->lastError() != 0 ? manager->lastError() : EIO;
        return false;
    }
    if (state != kServiceStopped && StopServiceWait(name_) != 1) {
        lastError_ = ETIMEDOUT;
        return false;
    }
    if (manager->Remove(name_)) return true;
    lastError_ = manager->lastError();
    return false;
}

bool CService::InstallSelf() {
    ServiceConfig config;
    config.name = name_;
    config.displayName = name_;
    config.command = {ExecutablePath()};
    config.autoStart = true;
    std::unique_ptr<ServiceManager> manager = OpenServiceManager();
    if (!manager->Install(config)) {
        lastError_ = manager->lastError();
        return false;
    }
    // A service that ends abnormally, a kill included, is started again; without that, nothing stays
    // installed.
    if (!manager->SetRestartOnFailure(name_)) {
        lastError_ = manager->lastError();
        manager->Remove(name_);
        return false;
    }
    manager->SetStartType(name_, kServiceAutoStart);
    lastError_ = manager->Start(name_) ? 0 : manager->lastError();
    return true;
}

std::optional<int> CService::ParseCommandLine(int argc, char** argv) {
    if (argc < 2) return std::nullopt;
    const std::string argument = LowerAscii(argv[1]);
    const char* name = name_.c_str();
    if (IsOption(argument, "version")) {
        std::printf("%s Version %d.%d\n", name, kVersionMajor, kVersionMinor);
        std::printf("The service is %s installed\n", IsServiceInstalled() ? "currently" : "not");
        return 0;
    }
    if (IsOption(argument, "install")) {
        if (IsServiceInstalled()) {
            std::printf("%s is already installed\n", name);
            if (!DeleteServiceByName(name_)) {
                SleepFor(kPauseAfterFailedRemoval);
                return 1;
            }
        }
        if (InstallSelf()) {
            // Success only for a service seen running: an installer must not hide a service that cannot run.
            const std::string why = lastError_ != 0
                                        ? "its start was refused. Error " + std::to_string(lastError_)
                                        : NotRunningReason(AwaitServiceRunning(name_));
            if (why.empty()) {
                std::printf("%s installed\n", name);
                return 0;
            }
            std::printf("%s installed, but it is not running: %s\n", name, why.c_str());
            return 1;
        }
        std::printf("%s failed to install. Error %d\n", name, lastError_);
        return 1;
    }
    if (IsOption(argument, "uninstall")) {
        // A manager that cannot be asked is a failed removal, not a missing service.
        if (GetServiceState(name_) == kServiceNotInstalled) {
            std::printf("%s is not installed\n", name);
            return 0;
        }
        if (RemoveSelf()) {
            std::printf("%s removed. (You must delete the file (%s) yourself.)\n", name,
                        ExecutablePath().c_str());
            return 0;
        }
        std::printf("Could not remove %s. Error %d\n", name, lastError_);
        return 1;
    }
    return std::nullopt;
}

}  // namespace zov
