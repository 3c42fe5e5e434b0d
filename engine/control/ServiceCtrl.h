#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ServiceManager.h"

// Service control on top of the service manager: query, start, stop, delete, start type, restart on
// failure, the program of a service. Failure is reported as false, 0 or an empty text.
namespace zov {

// The backup service, as both programs name it, and its program in the program folder.
inline constexpr const char* kBackupServiceName = "ZovSvcx";
inline constexpr const char* kServiceProgramName = "zovsvc";

// Start and stop waits: this many state polls, this far apart.
inline constexpr int kServiceWaitPolls = 50;
inline constexpr int kServiceWaitIntervalMs = 200;
// The longest an installer run ("-install") may take.
inline constexpr int kInstallerTimeoutSeconds = 60;

class CServiceCtrl {
  public:
    virtual ~CServiceCtrl() = default;

    // startType: kServiceAutoStart, kServiceDemandStart or kServiceDisabled.
    bool SetStartType(const std::string& service, int startType);
    bool DeleteService(const std::string& service);
    bool SetRestartOnFailure(const std::string& service);
    bool IsServiceRunning(const std::string& service);
    // Also true when the service or the manager cannot be reached.
    bool IsServiceStopped(const std::string& service);
    // The name is trimmed of blanks first.
    bool ServiceExists(const std::string& service);
    // With runInstallerFirst an existing installer runs first with "-install" and is waited for; when it
    // fails the result is false. Start: automatic start type, then a start request; true when accepted.
    // Stop: as StopServiceWait; true when the service stopped.
    bool StartStopService(const std::string& service, bool start, const std::string& installerPath = "",
                          bool runInstallerFirst = false);
    // raw: the whole command line (program and arguments); otherwise the program file. "" on failure.
    std::string GetServiceExePath(const std::string& service, bool raw);
    // The services whose program is a known server (SQL Server, MySQL, web and FTP servers); their count.
    int FindServerServices(std::vector<std::string>& names, std::vector<std::string>& displayNames);
};

// Sends a stop while the service runs and polls until it has stopped: 1 when stopped, 0 when the service
// cannot be reached or does not stop within the polls.
int StopServiceWait(const std::string& service);
// Starts a stopped service and polls until it runs: 1 when running, 0 otherwise.
int StartServiceWait(const std::string& service);
// After a start request: polls, without asking again, until the service runs, and returns the state that
// ended the wait: kServiceRunning; kServiceNotInstalled or kServiceManagerUnreachable; kServiceStopped once
// the service was stopped for kServiceStoppedPolls polls in a row (it ended after its start); otherwise the
// state seen when the polls ran out.
int AwaitServiceRunning(const std::string& service);
inline constexpr int kServiceStoppedPolls = 5;
// The state; kServiceManagerUnreachable (0) or kServiceNotInstalled (-1) when it cannot be asked.
int GetServiceState(const std::string& service);
bool ServiceInstalled(const std::string& service);
// Stops a service that is not stopped (bounded as StopServiceWait), then deletes it; true when deleted.
bool DeleteServiceByName(const std::string& service);
// Installs programPath with the arguments (split at blanks, double quotes group) as an automatically
// started service; true when it was installed.
bool InstallService(const std::string& programPath, const std::string& serviceName,
                    const std::string& arguments);
// The service's program file when it exists, else "".
std::string GetServiceExePath(const std::string& service);
// The user the service runs as; "" for the super-user.
std::string GetServiceAccount(const std::string& service);
// Every service's name in every state; false (list emptied) when the manager cannot be asked.
bool EnumServiceNames(std::vector<std::string>& names);

// The service manager of this installation (local records under the program folder's "run/services/").
std::unique_ptr<ServiceManager> OpenServiceManager();

}  // namespace zov
