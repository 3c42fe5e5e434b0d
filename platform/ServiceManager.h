#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The service control manager: installs, starts, stops and queries services. Two backends: systemd
// (unit files and systemctl) when /run/systemd/system exists, otherwise a local one (records under the
// program folder's "run/services/", a supervisor process per running service, /proc for the services of
// others). ZOV_SERVICE_BACKEND=local|systemd forces one.
namespace zov {

// Service states, with the numbers the rest of the system knows.
inline constexpr int kServiceNotInstalled = -1;
inline constexpr int kServiceManagerUnreachable = 0;
inline constexpr int kServiceStopped = 1;
inline constexpr int kServiceStartPending = 2;
inline constexpr int kServiceStopPending = 3;
inline constexpr int kServiceRunning = 4;
inline constexpr int kServicePaused = 7;

// Start types.
inline constexpr int kServiceAutoStart = 2;
inline constexpr int kServiceDemandStart = 3;
inline constexpr int kServiceDisabled = 4;

struct ServiceConfig {
    std::string name;
    std::string displayName;
    std::vector<std::string> command;  // program path (absolute) and arguments
    bool autoStart = true;
};

// True when the config names the service and its program by an absolute path and no text holds a line break.
bool IsValidServiceConfig(const ServiceConfig& config);

struct ServiceInfo {
    std::string name;  // as the manager knows it; Query(name) finds the service again
    std::string displayName;
    std::string imagePath;  // the program file
    // Program and arguments (JoinCommandLine form): the running main process's real ones (from /proc),
    // else the configured ones.
    std::string commandLine;
    std::string account;  // the user the service runs as
    // Found only as a running process, registered with no manager: its command line and account are
    // whatever the process's owner gave it.
    bool unregistered = false;
};

class ServiceManager {
  public:
    virtual ~ServiceManager() = default;

    // One of the states above; kServiceManagerUnreachable when the manager cannot be asked.
    virtual int GetState(const std::string& name) = 0;
    // False when a service of that name exists or the registration fails.
    virtual bool Install(const ServiceConfig& config) = 0;
    // Deletes the registration; a running service keeps running until it stops and is not restarted.
    virtual bool Remove(const std::string& name) = 0;
    // Asks for a start or a stop and returns without waiting for the new state.
    virtual bool Start(const std::string& name) = 0;
    virtual bool Stop(const std::string& name) = 0;
    virtual bool SetStartType(const std::string& name, int startType) = 0;
    // Restart at once whenever the service ends abnormally.
    virtual bool SetRestartOnFailure(const std::string& name) = 0;
    // Nullopt when there is no such service or the manager cannot be asked.
    virtual std::optional<ServiceInfo> Query(const std::string& name) = 0;
    // Every service in every state; nullopt when the manager cannot be asked.
    virtual std::optional<std::vector<ServiceInfo>> List() = 0;
    // Every service that answers to name, the one Query gives first: more than one only where several
    // unregistered processes carry the name.
    virtual std::vector<ServiceInfo> Candidates(const std::string& name);

    // An errno-style code of the last failed operation (0 when none failed).
    int lastError() const { return lastError_; }

  protected:
    bool Fail(int error) {
        lastError_ = error;
        return false;
    }
    bool Succeed() {
        lastError_ = 0;
        return true;
    }

  private:
    int lastError_ = 0;
};

enum class ServiceBackend { Systemd, Local };
ServiceBackend ChooseServiceBackend();

// The manager of the chosen backend. localRecordFolder holds the local backend's records.
std::unique_ptr<ServiceManager> CreateServiceManager(const std::string& localRecordFolder);

}  // namespace zov
