#include "platform/ServiceManager.h"

#include <stdlib.h>

#include <algorithm>
#include <string_view>

#include "platform/Paths.h"
#include "platform/ServiceManagerLocal.h"
#include "platform/ServiceManagerSystemd.h"

namespace zov {
namespace {

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

bool IsValidServiceConfig(const ServiceConfig& config) {
    if (config.name.empty() || config.command.empty() || !IsAbsolutePath(config.command.front()))
        return false;
    if (HasLineBreak(config.name) || HasLineBreak(config.displayName)) return false;
    return std::none_of(config.command.begin(), config.command.end(), HasLineBreak);
}

std::vector<ServiceInfo> ServiceManager::Candidates(const std::string& name) {
    std::optional<ServiceInfo> service = Query(name);
    if (!service) return {};
    return {std::move(*service)};
}

ServiceBackend ChooseServiceBackend() {
    const char* forced = getenv("ZOV_SERVICE_BACKEND");
    std::string_view choice = forced != nullptr ? forced : "";
    if (choice == "local") return ServiceBackend::Local;
    if (choice == "systemd") return ServiceBackend::Systemd;
    return IsDirectory("/run/systemd/system") ? ServiceBackend::Systemd : ServiceBackend::Local;
}

std::unique_ptr<ServiceManager> CreateServiceManager(const std::string& localRecordFolder) {
    if (ChooseServiceBackend() == ServiceBackend::Systemd) return std::make_unique<SystemdServiceManager>();
    return std::make_unique<LocalServiceManager>(localRecordFolder);
}

}  // namespace zov
