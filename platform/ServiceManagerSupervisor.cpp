#include "platform/ServiceManagerSupervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/AtomicFile.h"
#include "platform/ProgramDir.h"
#include "platform/ServiceSupervision.h"
#include "platform/Text.h"
#include "platform/TrustedProgram.h"

namespace zov {
namespace {

constexpr int kLaunchTimeoutMs = 10000;
constexpr const char* kServiceSearchPath =
    "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
constexpr const char* kServiceLocale = "LANG=C.UTF-8";

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// A clean environment, as systemd gives its services: a fixed search path, a UTF-8 locale, the program
// folder when the starter's was named (NamedProgramDir), and the status file. Nothing else of the
// starter's reaches the service.
std::vector<std::string> ServiceEnvironment(const std::string& statusPath) {
    std::vector<std::string> environment{kServiceSearchPath, kServiceLocale};
    if (std::optional<std::string> programDir = NamedProgramDir()) {
        environment.push_back(std::string(kProgramDirVariable) + "=" + *programDir);
    }
    environment.push_back(std::string(kServiceStatusVariable) + "=" + statusPath);
    return environment;
}

// The supervisor program beside the running executable (the program folder, or for tests the build's
// folder of test programs); "" with errno set when it is missing or not a program only root can change.
std::string SupervisorProgramPath() {
    const std::string executable = ExecutablePath();
    const std::string path = executable.substr(0, executable.rfind('/') + 1) + kSupervisorProgram;
    if (access(path.c_str(), X_OK) != 0) return "";
    const std::string trusted = TrustedProgramPath(path);
    if (trusted.empty()) errno = EPERM;
    return trusted;
}

int ReadAnswer(int fd) {
    pollfd ready{fd, POLLIN, 0};
    int polled;
    do {
        polled = poll(&ready, 1, kLaunchTimeoutMs);
    } while (polled < 0 && errno == EINTR);
    if (polled == 0) return ETIMEDOUT;
    int answer = 0;
    ssize_t got;
    do {
        got = read(fd, &answer, sizeof answer);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof answer) ? answer : ECHILD;
}

}  // namespace

std::optional<LocalServiceFiles> LocalServiceFiles::For(const std::string& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\n\r") != std::string::npos) {
        return std::nullopt;
    }
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    base += LowerAscii(name);
    return LocalServiceFiles{base + ".ini", base + ".restart", base + ".supervisor", base + ".status",
                             base + ".lock"};
}

std::optional<SupervisorRecord> ReadSupervisorRecord(const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text) return std::nullopt;
    SupervisorRecord record;
    int supervisorPid = 0, servicePid = 0, stopping = 0;
    if (std::sscanf(text->c_str(), "%d %llu %d %llu %d", &supervisorPid, &record.supervisorStart, &servicePid,
                    &record.serviceStart, &stopping) != 5) {
        return std::nullopt;
    }
    record.supervisorPid = supervisorPid;
    record.servicePid = servicePid;
    record.stopping = stopping != 0;
    return record;
}

std::optional<StatusRecord> ReadStatusRecord(const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text) return std::nullopt;
    int pid = 0, state = 0;
    if (std::sscanf(text->c_str(), "%d %d", &pid, &state) != 2) return std::nullopt;
    return StatusRecord{pid, state};
}

bool WriteStatusRecord(const std::string& path, pid_t pid, int state) {
    return WriteFileAtomic(path, std::to_string(pid) + " " + std::to_string(state) + "\n");
}

int LaunchSupervisor(const SupervisorSetup& setup) {
    std::optional<LocalServiceFiles> files = LocalServiceFiles::For(setup.recordFolder, setup.name);
    if (!files || setup.command.empty()) return EINVAL;
    const std::string supervisor = SupervisorProgramPath();
    if (supervisor.empty()) return errno;
    std::vector<std::string> environment = ServiceEnvironment(files->status);
    std::vector<char*> envp = Pointers(environment);

    int readyPipe[2];
    if (pipe2(readyPipe, O_CLOEXEC) != 0) return errno;
    std::vector<std::string> arguments{kSupervisorProgram,
                                       setup.recordFolder,
                                       setup.name,
                                       std::to_string(setup.stopTimeout.count()),
                                       std::to_string(readyPipe[1]),
                                       setup.workingDirectory};
    arguments.insert(arguments.end(), setup.command.begin(), setup.command.end());
    std::vector<char*> argv = Pointers(arguments);

    // Signals stay blocked across fork so that no handler of the starter runs in the children; the
    // supervisor sets up its own.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pid_t first = fork();
    if (first == 0) {
        close(readyPipe[0]);
        setsid();
        pid_t second = fork();
        if (second == 0) {
            if (fcntl(readyPipe[1], F_SETFD, 0) == 0) execve(supervisor.c_str(), argv.data(), envp.data());
            const int error = errno;
            const ssize_t answered = write(readyPipe[1], &error, sizeof error);
            _exit(answered == static_cast<ssize_t>(sizeof error) ? 127 : 126);
        }
        _exit(second < 0 ? 1 : 0);
    }
    int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    close(readyPipe[1]);
    if (first < 0) {
        close(readyPipe[0]);
        return forkError;
    }
    int status = 0;
    while (waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    int answer = ReadAnswer(readyPipe[0]);
    close(readyPipe[0]);
    return answer;
}

}  // namespace zov
