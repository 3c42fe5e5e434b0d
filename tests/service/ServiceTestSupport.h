#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/TempProgramDir.h"
#include "support/WaitUntil.h"

namespace zov::test {

// A temporary program folder for service tests: the local service backend is forced, and this process
// becomes the subreaper of the supervisors it starts. On destruction every supervisor and service
// recorded in the folder is killed and every child process reaped.
class ServiceTestFolder {
  public:
    ServiceTestFolder();
    ~ServiceTestFolder();
    ServiceTestFolder(const ServiceTestFolder&) = delete;
    ServiceTestFolder& operator=(const ServiceTestFolder&) = delete;

    const std::string& path() const { return dir_.path(); }
    std::string operator/(const std::string& relative) const { return dir_ / relative; }
    std::string recordFolder() const { return dir_ / "run/services/"; }

    // Copies the built zovsvc and the supervisor program beside it into the folder; zovsvc's path.
    std::string InstallServiceProgram();
    // Writes an executable shell script; its path.
    std::string WriteScript(const std::string& name, const std::string& body);

  private:
    TempProgramDir dir_;
    std::string previousBackend_;
    bool hadBackend_ = false;
};

// A bound datagram socket standing in for systemd's notification socket.
class NotifyReceiver {
  public:
    // A path, or '@' + an abstract name.
    explicit NotifyReceiver(const std::string& name);
    ~NotifyReceiver();
    NotifyReceiver(const NotifyReceiver&) = delete;
    NotifyReceiver& operator=(const NotifyReceiver&) = delete;

    bool bound() const { return bound_; }
    // The next message, or "(nothing)" after 10 s without one.
    std::string Receive();

  private:
    int fd_ = -1;
    bool bound_ = false;
};

// A process's environment as /proc shows it: NAME=value entries, sorted.
std::vector<std::string> EnvironmentOf(pid_t pid);

// A script body of a well-behaved service: reports running, stops on SIGTERM (reporting 3, then 1).
std::string ServiceScript();
// A service that ignores SIGTERM.
std::string StubbornServiceScript();

// True when pid is a live process (not a zombie).
bool IsAlive(pid_t pid);

// Kills every supervisor and service recorded in the folder and reaps every child of this process.
void KillRecordedServices(const std::string& recordFolder);

// The live processes whose parent is this process.
std::vector<pid_t> LiveChildren();
// Reaps ended children until none is left alive (bounded); false when some still run.
bool AllChildrenEnded(std::chrono::milliseconds timeout = std::chrono::seconds(15));

}  // namespace zov::test
