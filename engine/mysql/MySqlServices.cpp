#include "engine/mysql/MySqlServices.h"

#include "engine/mysql/MySqlDataDir.h"
#include "engine/settings/ProgramFiles.h"

namespace zov {

bool FindMySqlServices(std::vector<std::string>& names) {
    names.clear();
    const std::optional<std::vector<ServiceInfo>> services =
        CreateServiceManager(RunFolder() + "services/")->List();
    if (!services) return false;
    for (const ServiceInfo& service : *services) {
        if (IsMySqlServerCommand(service.commandLine)) names.push_back(service.name);
    }
    return !names.empty();
}

}  // namespace zov
