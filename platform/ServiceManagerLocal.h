#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/ProcFind.h"
#include "platform/ServiceManager.h"
#include "platform/ServiceManagerSupervisor.h"

namespace zov {

// Services without systemd: registrations and state records in a record folder (the program folder's
// "run/services/"), one supervisor process per running service. Processes without a controlling terminal
// that nobody registered here (a database server, for example) count as running services of their
// program's name; they can be queried but not controlled.
class LocalServiceManager : public ServiceManager {
  public:
    explicit LocalServiceManager(std::string recordFolder,
                                 std::chrono::milliseconds stopTimeout = std::chrono::seconds(10));

    int GetState(const std::string& name) override;
    bool Install(const ServiceConfig& config) override;
    bool Remove(const std::string& name) override;
    bool Start(const std::string& name) override;
    bool Stop(const std::string& name) override;
    bool SetStartType(const std::string& name, int startType) override;
    bool SetRestartOnFailure(const std::string& name) override;
    std::optional<ServiceInfo> Query(const std::string& name) override;
    std::optional<std::vector<ServiceInfo>> List() override;
    // The registered service, or every unregistered main process of that program name, lowest pid first.
    std::vector<ServiceInfo> Candidates(const std::string& name) override;

  private:
    std::optional<LocalServiceFiles> RegisteredFiles(const std::string& name) const;
    std::optional<SupervisorRecord> LiveSupervisor(const LocalServiceFiles& files) const;
    ServiceInfo RegisteredInfo(const LocalServiceFiles& files) const;
    // The pids of supervisors and services started from this record folder.
    std::vector<pid_t> SupervisedPids() const;
    // The main process of each program name that nobody registered here (its parent has another name), lowest
    // pid first; with every false only the first of each name.
    std::vector<ServiceInfo> Daemons(bool every = false) const;

    std::string recordFolder_;
    std::chrono::milliseconds stopTimeout_;
};

}  // namespace zov
