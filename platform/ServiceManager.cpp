#include "platform/ServiceManager.h"

#include <stdlib.h>

#include <string_view>

#include "platform/Paths.h"
#include "platform/ServiceManagerLocal.h"
#include "platform/ServiceManagerSystemd.h"

namespace zov {

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
