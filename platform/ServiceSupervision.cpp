#include "platform/ServiceSupervision.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/ProcFind.h"
#include "platform/ServiceManagerSupervisor.h"

namespace zov {
namespace {

// Restarts stop when the service was started this many times within the interval (a service that fails
// at once is not restarted forever).
constexpr int kStartBurst = 5;
constexpr long long kStartIntervalMs = 10000;

// Everything the supervisor uses, read from its arguments; the service gets the supervisor's environment.
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

std::optional<long long> ParseCount(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0) return std::nullopt;
    return value;
}

}  // namespace

int RunSupervisor(int argc, char** argv) {
    constexpr int kProgramArgument = 6;
    if (argc <= kProgramArgument) return 2;
    const std::optional<LocalServiceFiles> files = LocalServiceFiles::For(argv[1], argv[2]);
    const std::optional<long long> stopTimeoutMs = ParseCount(argv[3]);
    const std::optional<long long> answerFd = ParseCount(argv[4]);
    if (!files || !stopTimeoutMs || !answerFd || *answerFd > INT_MAX) return 2;
    const std::string recordTemp = files->supervisor + ".tmp";
    Supervise(SupervisorContext{argv[kProgramArgument], argv + kProgramArgument, environ, argv[5],
                                files->supervisor.c_str(), recordTemp.c_str(), files->restartMarker.c_str(),
                                files->registration.c_str(), *stopTimeoutMs, static_cast<int>(*answerFd), 0,
                                0});
}

}  // namespace zov
