#include "engine/control/ServiceCtrl.h"

#include <chrono>
#include <optional>

#include "engine/settings/ProgramFiles.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/ProcessRunner.h"
#include "platform/ServiceManagerCommandLine.h"
#include "platform/Text.h"

namespace zov {
namespace {

constexpr const char* kInstallSwitch = "-install";
constexpr const char* kSuperUser = "root";
// Programs of server services, as parts of their lower-cased program paths.
constexpr const char* kServerPrograms[] = {"/sqlservr", "/bin/mysql", "/mysqld", "/mariadbd", "/serv-u",
                                           "/httpd",    "/apache2",   "/tomcat", "/filezilla"};

std::string TrimBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void PollPause() { SleepFor(std::chrono::milliseconds(kServiceWaitIntervalMs)); }

bool IsServerProgram(const std::string& imagePath) {
    const std::string lowered = LowerAscii(imagePath);
    for (const char* program : kServerPrograms) {
        if (lowered.find(program) != std::string::npos) return true;
    }
    return false;
}

bool RunInstaller(const std::string& installerPath) {
    ProcessOptions options;
    options.timeout = std::chrono::seconds(kInstallerTimeoutSeconds);
    return RunProcess({installerPath, kInstallSwitch}, options).Succeeded();
}

}  // namespace

std::unique_ptr<ServiceManager> OpenServiceManager() {
    return CreateServiceManager(RunFolder() + "services/");
}

bool CServiceCtrl::SetStartType(const std::string& service, int startType) {
    return !service.empty() && OpenServiceManager()->SetStartType(service, startType);
}

bool CServiceCtrl::DeleteService(const std::string& service) {
    return !service.empty() && OpenServiceManager()->Remove(service);
}

bool CServiceCtrl::SetRestartOnFailure(const std::string& service) {
    return !service.empty() && OpenServiceManager()->SetRestartOnFailure(service);
}

bool CServiceCtrl::IsServiceRunning(const std::string& service) {
    return GetServiceState(service) == kServiceRunning;
}

bool CServiceCtrl::IsServiceStopped(const std::string& service) {
    const int state = GetServiceState(service);
    return state == kServiceStopped || state == kServiceNotInstalled || state == kServiceManagerUnreachable;
}

bool CServiceCtrl::ServiceExists(const std::string& service) { return ServiceInstalled(TrimBlanks(service)); }

bool CServiceCtrl::StartStopService(const std::string& service, bool start, const std::string& installerPath,
                                    bool runInstallerFirst) {
    if (runInstallerFirst && IsRegularFile(installerPath) && !RunInstaller(installerPath)) return false;
    if (!start) return StopServiceWait(service) == 1;
    std::unique_ptr<ServiceManager> manager = OpenServiceManager();
    manager->SetStartType(service, kServiceAutoStart);
    return manager->Start(service);
}

std::string CServiceCtrl::GetServiceExePath(const std::string& service, bool raw) {
    if (service.empty()) return {};
    std::optional<ServiceInfo> info = OpenServiceManager()->Query(service);
    if (!info) return {};
    return raw ? info->commandLine : info->imagePath;
}

int CServiceCtrl::FindServerServices(std::vector<std::string>& names,
                                     std::vector<std::string>& displayNames) {
    names.clear();
    displayNames.clear();
    std::optional<std::vector<ServiceInfo>> services = OpenServiceManager()->List();
    if (!services) return 0;
    for (const ServiceInfo& info : *services) {
        if (!IsServerProgram(info.imagePath)) continue;
        names.push_back(info.name);
        displayNames.push_back(info.displayName);
    }
    return static_cast<int>(names.size());
}

int StopServiceWait(const std::string& service) {
    std::unique_ptr<ServiceManager> manager = OpenServiceManager();
    for (int poll = 0; poll < kServiceWaitPolls; ++poll) {
        const int state = manager->GetState(service);
        if (state == kServiceStopped) return 1;
        if (state == kServiceNotInstalled || state == kServiceManagerUnreachable) return 0;
        if (state == kServiceRunning || state == kServicePaused) manager->Stop(service);
        PollPause();
    }
    return 0;
}

int StartServiceWait(const std::string& service) {
    std::unique_ptr<ServiceManager> manager = OpenServiceManager();
    for (int poll = 0; poll < kServiceWaitPolls; ++poll) {
        const int state = manager->GetState(service);
        if (state == kServiceRunning) return 1;
        if (state == kServiceNotInstalled || state == kServiceManagerUnreachable) return 0;
        if (state == kServiceStopped || state == kServicePaused) manager->Start(service);
        PollPause();
    }
    return 0;
}

int AwaitServiceRunning(const std::string& service) {
    std::unique_ptr<ServiceManager> manager = OpenServiceManager();
    int state = kServiceManagerUnreachable;
    int stoppedPolls = 0;
    for (int poll = 0; poll < kServiceWaitPolls; ++poll) {
        state = manager->GetState(service);
        if (state == kServiceRunning || state == kServiceNotInstalled || state == kServiceManagerUnreachable)
            return state;
        stoppedPolls = state == kServiceStopped ? stoppedPolls + 1 : 0;
        if (stoppedPolls == kServiceStoppedPolls) return state;
        PollPause();
    }
    return state;
}

int GetServiceState(const std::string& service) {
    if (service.empty()) return kServiceNotInstalled;
    return OpenServiceManager()->GetState(service);
}

bool ServiceInstalled(const std::string& service) {
    return GetServiceState(service) > kServiceManagerUnreachable;
}

bool DeleteServiceByName(const std::string& service) {
    const int state = GetServiceState(service);
    if (state <= kServiceManagerUnreachable) return false;
    if (state != kServiceStopped && StopServiceWait(service) != 1) return false;
    return OpenServiceManager()->Remove(service);
}

bool InstallService(const std::string& programPath, const std::string& serviceName,
                    const std::string& arguments) {
    ServiceConfig config;
    config.name = serviceName;
    config.displayName = serviceName;
    config.command = {programPath};
    for (std::string& argument : SplitCommandLine(arguments)) config.command.push_back(std::move(argument));
    return OpenServiceManager()->Install(config);
}

std::string GetServiceExePath(const std::string& service) {
    std::string program = CServiceCtrl().GetServiceExePath(service, false);
    return IsRegularFile(program) ? program : std::string();
}

std::string GetServiceAccount(const std::string& service) {
    if (service.empty()) return {};
    std::optional<ServiceInfo> info = OpenServiceManager()->Query(service);
    if (!info || info->account == kSuperUser) return {};
    return info->account;
}

bool EnumServiceNames(std::vector<std::string>& names) {
    names.clear();
    std::optional<std::vector<ServiceInfo>> services = OpenServiceManager()->List();
    if (!services) return false;
    for (const ServiceInfo& info : *services) names.push_back(info.name);
    return true;
}

}  // namespace zov
