#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The local backend's supervisor: a detached process (own session, not a child of the starter) that runs
// one service with a clean environment (PATH, LANG=C.UTF-8, ZOV_PROGRAM_DIR when the starter's folder was
// named, and the status variable), restarts it after a failure (an exit status other than 0, a crash or a
// SIGKILL; not an end by SIGTERM, SIGINT, SIGHUP or SIGPIPE, as under systemd) while restart-on-failure is
// set, and stops it on SIGTERM (SIGTERM to the service, SIGKILL to its process group when it outlasts the
// stop bound). When the supervisor itself is killed, the service gets SIGTERM and stays stopped.
namespace zov {

// Set in the service's environment: the file in which it reports its state ("<pid> <state>").
inline constexpr const char* kServiceStatusVariable = "ZOV_SERVICE_STATUS";

// The record files of one service in the record folder, named after its name in lower case.
struct LocalServiceFiles {
    std::string registration;   // "<name>.ini": [Service] Name, DisplayName, Command, StartType, Account
    std::string restartMarker;  // "<name>.restart": present while restart-on-failure is set
    std::string supervisor;     // "<name>.supervisor": written by the running supervisor
    std::string status;         // "<name>.status": written by the service
    std::string lock;           // "<name>.lock": serialises start and removal

    // Nullopt for a name that cannot name a file.
    static std::optional<LocalServiceFiles> For(const std::string& folder, const std::string& name);
};

struct SupervisorRecord {
    pid_t supervisorPid = 0;
    unsigned long long supervisorStart = 0;
    pid_t servicePid = 0;
    unsigned long long serviceStart = 0;
    bool stopping = false;
};
std::optional<SupervisorRecord> ReadSupervisorRecord(const std::string& path);

struct StatusRecord {
    pid_t pid = 0;
    int state = 0;
};
std::optional<StatusRecord> ReadStatusRecord(const std::string& path);
bool WriteStatusRecord(const std::string& path, pid_t pid, int state);

struct SupervisorSetup {
    std::string recordFolder;
    std::string name;
    std::vector<std::string> command;  // program path and arguments
    std::string workingDirectory;
    std::chrono::milliseconds stopTimeout{10000};
};

// Starts a supervisor for the service, the program zov-supervisor beside the running executable (a program
// only root can change) with a clean environment and its own arguments, and waits until it has started the
// service's program. 0 on success, else an errno value (no trusted supervisor program, the service's
// program could not be run, or the supervisor did not answer).
int LaunchSupervisor(const SupervisorSetup& setup);

}  // namespace zov
