#include "engine/mysql/MySqlServices.h"

#include <algorithm>

#include "engine/mysql/MySqlDataDir.h"
#include "engine/settings/ProgramFiles.h"

namespace zov {
namespace {

// The names of the servers of one service: the service name once, or each believed data folder with it
// when more than one answers to the name.
void AddServers(const ServiceInfo& service, std::vector<std::string>& names) {
    if (std::find(names.begin(), names.end(), service.name) != names.end()) return;
    if (!service.unregistered) {
        names.push_back(service.name);
        return;
    }
    std::vector<std::string> dataDirs;
    for (const MySqlDataDirSearch& server : SearchMySqlServers(service.name).found) {
        if (std::find(dataDirs.begin(), dataDirs.end(), server.dataDir) == dataDirs.end())
            dataDirs.push_back(server.dataDir);
    }
    if (dataDirs.size() == 1) names.push_back(service.name);
    if (dataDirs.size() < 2) return;
    for (const std::string& dataDir : dataDirs) names.push_back(MySqlServerName(service.name, dataDir));
}

}  // namespace

bool FindMySqlServices(std::vector<std::string>& names) {
    names.clear();
    const std::optional<std::vector<ServiceInfo>> services =
        CreateServiceManager(RunFolder() + "services/")->List();
    if (!services) return false;
    for (const ServiceInfo& service : *services) {
        if (IsMySqlServer(service)) AddServers(service, names);
    }
    return !names.empty();
}

}  // namespace zov
