#pragma once

#include <optional>
#include <string>

// The running service's side of the service manager: how it learns that a manager started it and how it
// reports its state back (systemd: the notification socket; local backend: the status file).
namespace zov {

class ServiceManagerLink {
  public:
    // The link named by the environment: NOTIFY_SOCKET (systemd) or ZOV_SERVICE_STATUS (local supervisor);
    // nullopt when neither is set, i.e. no service manager started this process. The variables are
    // removed, so the service's own child processes do not inherit them.
    static std::optional<ServiceManagerLink> FromEnvironment();

    // Reports one of the service states (kServiceStartPending, kServiceRunning, kServiceStopPending,
    // kServiceStopped).
    bool ReportState(int state) const;

    static std::string NotifyMessage(int state);

  private:
    std::string notifySocket_;
    std::string statusFile_;
};

}  // namespace zov
