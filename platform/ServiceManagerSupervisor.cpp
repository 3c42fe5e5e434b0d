#include "platform/ServiceManagerSupervisor.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/ProcFind.h"
#include "platform/ProgramDir.h"
#include "platform/Text.h"

namespace zov {
namespace {

// Restarts stop when the service was started this many times within the interval (a service that fails
// at once is not restarted forever).
constexpr int kStartBurst = 5;
constexpr long long kStartIntervalMs = 10000;
constexpr int kLaunchTimeoutMs = 10000;
constexpr const char* kSupervisorName = "zov-supervisor";
constexpr const char* kServiceSearchPath =
    "PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
constexpr const char* kServiceLocale = "LANG=C.UTF-8";

// Everything the supervisor uses, prepared before fork: after fork it only makes system calls on it.
struct SupervisorContext {
    const char* program;
    char* const* argv;
    char* const* envp;
    const char* workingDirectory;
    const char* recordPath;
    const char* recordTempPath;
    const char* restartMarker;
    const char* registration;
    long long stopTimeoutMs;
    int readyFd;
    pid_t self;
    unsigned long long selfStart;
};

long long MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void WriteAllRaw(int fd, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
}

void WriteRecord(const SupervisorContext& context, pid_t servicePid, unsigned long long serviceStart,
                 bool stopping) {
    char text[128];
    int length =
        std::snprintf(text, sizeof text, "%d %llu %d %llu %d\n", static_cast<int>(context.self),
                      context.selfStart, static_cast<int>(servicePid), serviceStart, stopping ? 1 : 0);
    int fd = open(context.recordTempPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    WriteAllRaw(fd, text, static_cast<size_t>(length));
    close(fd);
    rename(context.recordTempPath, context.recordPath);
}

void Answer(int& readyFd, int error) {
    if (readyFd < 0) return;
    WriteAllRaw(readyFd, &error, sizeof error);
    close(readyFd);
    readyFd = -1;
}

[[noreturn]] void Finish(const SupervisorContext& context) {
    unlink(context.recordPath);
    _exit(0);
}

// Standard input and output to /dev/null; every other descriptor of the starter closed except keep.
int DetachDescriptors(int keep) {
    if (keep < 3) keep = fcntl(keep, F_DUPFD_CLOEXEC, 3);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
    }
    if (keep > 3) close_range(3, static_cast<unsigned>(keep) - 1, 0);
    close_range(static_cast<unsigned>(keep) + 1, ~0U, 0);
    return keep;
}

void SetUpSignals(sigset_t& waited) {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &defaultAction, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigemptyset(&waited);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&waited, sig);
    sigprocmask(SIG_SETMASK, &waited, nullptr);
}

// Starts the program in its own process group; its pid, or -1 with error set when it could not be run.
pid_t SpawnService(const SupervisorContext& context, int& error) {
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        error = errno;
        return -1;
    }
    pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        // The service stops when its supervisor dies.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != context.self) _exit(127);
        signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (chdir(context.workingDirectory) == 0) execve(context.program, context.argv, context.envp);
        int execError = errno;
        WriteAllRaw(errorPipe[1], &execError, sizeof execError);
        _exit(127);
    }
    if (child < 0) error = errno;
    close(errorPipe[1]);
    int execError = 0;
    ssize_t got;
    do {
        got = read(errorPipe[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    close(errorPipe[0]);
    if (child > 0 && got == static_cast<ssize_t>(sizeof execError)) {
        waitpid(child, nullptr, 0);
        error = execError;
        return -1;
    }
    if (child > 0) setpgid(child, child);
    return child;
}

// Waits until the service ends. A stop request (SIGTERM, SIGINT, SIGHUP) is passed on as SIGTERM; when
// the service outlasts the stop bound its process group is killed. True when it ended on a stop request.
bool WaitForEnd(const SupervisorContext& context, pid_t child, unsigned long long childStart,
                const sigset_t& waited, int& status) {
    bool stopping = false;
    bool killed = false;
    long long deadline = 0;
    for (;;) {
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno == ECHILD)) return stopping;
        timespec timeout{};
        const timespec* limit = nullptr;
        if (stopping && !killed) {
            long long left = deadline - MonotonicMs();
            if (left <= 0) {
                kill(-child, SIGKILL);
                kill(child, SIGKILL);
                killed = true;
                continue;
            }
            timeout.tv_sec = static_cast<time_t>(left / 1000);
            timeout.tv_nsec = static_cast<long>(left % 1000) * 1000000L;
            limit = &timeout;
        }
        int sig = sigtimedwait(&waited, nullptr, limit);
        if ((sig == SIGTERM || sig == SIGINT || sig == SIGHUP) && !stopping) {
            stopping = true;
            WriteRecord(context, child, childStart, true);
            kill(child, SIGTERM);
            deadline = MonotonicMs() + context.stopTimeoutMs;
        }
    }
}

// As systemd's on-failure sees it: an exit status other than 0 or an end by any other signal is a failure;
// a service ended by SIGTERM (or SIGHUP, SIGINT, SIGPIPE) was stopped.
bool EndedAbnormally(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status) != 0;
    if (!WIFSIGNALED(status)) return true;
    switch (WTERMSIG(status)) {
        case SIGHUP:
        case SIGINT:
        case SIGTERM:
        case SIGPIPE:
            return false;
        default:
            return true;
    }
}

bool RestartWanted(const SupervisorContext& context) {
    return access(context.restartMarker, F_OK) == 0 && access(context.registration, F_OK) == 0;
}

[[noreturn]] void Supervise(SupervisorContext context) {
    prctl(PR_SET_NAME, kSupervisorName);
    context.readyFd = DetachDescriptors(context.readyFd);
    if (chdir("/") != 0) _exit(1);
    sigset_t waited;
    SetUpSignals(waited);
    context.self = getpid();
    context.selfStart = ProcessStartTime(context.self).value_or(0);

    long long starts[kStartBurst] = {};
    int startCount = 0;
    for (;;) {
        if (startCount >= kStartBurst &&
            MonotonicMs() - starts[startCount % kStartBurst] < kStartIntervalMs) {
            Finish(context);
        }
        starts[startCount++ % kStartBurst] = MonotonicMs();
        int error = 0;
        pid_t child = SpawnService(context, error);
        if (child < 0) {
            Answer(context.readyFd, error);
            Finish(context);
        }
        unsigned long long childStart = ProcessStartTime(child).value_or(0);
        WriteRecord(context, child, childStart, false);
        Answer(context.readyFd, 0);
        int status = 0;
        bool stopped = WaitForEnd(context, child, childStart, waited, status);
        if (stopped || !EndedAbnormally(status) || !RestartWanted(context)) Finish(context);
    }
}

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
    if (setup.command.empty()) return EINVAL;
    std::vector<std::string> arguments = setup.command;
    std::vector<char*> argv = Pointers(arguments);
    std::vector<std::string> environment = ServiceEnvironment(setup.files.status);
    std::vector<char*> envp = Pointers(environment);
    const std::string recordTemp = setup.files.supervisor + ".tmp";

    int readyPipe[2];
    if (pipe2(readyPipe, O_CLOEXEC) != 0) return errno;
    SupervisorContext context{arguments.front().c_str(),
                              argv.data(),
                              envp.data(),
                              setup.workingDirectory.c_str(),
                              setup.files.supervisor.c_str(),
                              recordTemp.c_str(),
                              setup.files.restartMarker.c_str(),
                              setup.files.registration.c_str(),
                              static_cast<long long>(setup.stopTimeout.count()),
                              readyPipe[1],
                              0,
                              0};

    // Signals stay blocked across fork so that no handler of the starter runs in the children.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pid_t first = fork();
    if (first == 0) {
        close(readyPipe[0]);
        setsid();
        pid_t second = fork();
        if (second == 0) Supervise(context);
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
