#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ServiceManager.h"

namespace zov {

// Services as systemd units: a unit file "<name in lower case>.service" in the unit folder (Type=notify,
// the program's folder as working directory), start and stop through "systemctl" found on PATH.
class SystemdServiceManager : public ServiceManager {
  public:
    // unitFolder: $ZOV_SYSTEMD_UNIT_DIR when set, else "/etc/systemd/system/".
    SystemdServiceManager();
    explicit SystemdServiceManager(std::string unitFolder);

    int GetState(const std::string& name) override;
    bool Install(const ServiceConfig& config) override;
    bool Remove(const std::string& name) override;
    bool Start(const std::string& name) override;
    bool Stop(const std::string& name) override;
    bool SetStartType(const std::string& name, int startType) override;
    bool SetRestartOnFailure(const std::string& name) override;
    std::optional<ServiceInfo> Query(const std::string& name) override;
    std::optional<std::vector<ServiceInfo>> List() override;

    // "ZovSvcx" -> "zovsvcx.service"; a name that already ends in ".service" is kept as it is.
    static std::string UnitName(const std::string& name);
    static std::string UnitText(const ServiceConfig& config);
    static std::string RestartDropInText();

  private:
    std::string UnitPath(const std::string& name) const;
    std::string DropInFolder(const std::string& name) const;
    // Runs systemctl with the arguments; its standard output when it exited with 0.
    std::optional<std::string> Systemctl(const std::vector<std::string>& arguments);
    bool Reload();

    std::string unitFolder_;
};

}  // namespace zov
