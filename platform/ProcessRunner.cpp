#include "platform/ProcessRunner.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string_view>

extern char** environ;

namespace zov {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kMaxPollInterval{50};
constexpr int kExecFailedStatus = 127;

// An owned descriptor, closed on scope exit.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }

    int get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

// Opens path close-on-exec at a number above 2, so that the child's dup2 onto 0/1/2 never clobbers it.
int OpenAboveStdio(const std::string& path, int flags) {
    int fd;
    do {
        fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 || fd > 2) return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int saved = errno;
    close(fd);
    errno = saved;
    return moved;
}

std::string_view EnvName(std::string_view entry) { return entry.substr(0, entry.find('=')); }

// The caller's environment with the extra entries replacing those of the same name.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> merged;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string_view name = EnvName(*entry);
        bool replaced =
            std::any_of(extra.begin(), extra.end(), [&](const std::string& e) { return EnvName(e) == name; });
        if (!replaced) merged.emplace_back(*entry);
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

// The paths execve tries in order: argv[0] itself when it holds a '/', otherwise argv[0] in each PATH entry.
std::vector<std::string> ProgramCandidates(const std::string& program) {
    if (program.find('/') != std::string::npos) return {program};
    const char* pathVar = getenv("PATH");
    std::string_view path = pathVar != nullptr ? pathVar : "/usr/local/bin:/usr/bin:/bin";
    std::vector<std::string> candidates;
    size_t start = 0;
    while (true) {
        size_t end = path.find(':', start);
        std::string_view dir = path.substr(start, end == std::string_view::npos ? end : end - start);
        candidates.push_back((dir.empty() ? std::string(".") : std::string(dir)) + "/" + program);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return candidates;
}

std::vector<char*> PointerArray(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

struct ChildSetup {
    pid_t parent;
    int stdinFd;
    int stdoutFd;
    int stderrFd;
    int errorPipe;
    int maxFd;
    const char* workingDir;  // nullptr keeps the caller's
    char* const* argv;
    char* const* envp;
    const std::vector<char*>* candidates;
};

[[noreturn]] void FailChild(int errorPipe, int error) {
    ssize_t ignored = write(errorPipe, &error, sizeof error);
    (void)ignored;
    _exit(kExecFailedStatus);
}

// Runs in the forked child: async-signal-safe calls only.
[[noreturn]] void ExecChild(const ChildSetup& setup) {
    // A session of its own: its own process group, and no controlling terminal that it could ask.
    setsid();
    // The program ends with its parent. The signal follows the thread that forked, not the whole process:
    // RunProcess waits in that thread until the program has ended, so here that is the same thing.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != setup.parent) _exit(kExecFailedStatus);

    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &defaultAction, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    if (dup2(setup.stdinFd, 0) < 0 || dup2(setup.stdoutFd, 1) < 0 || dup2(setup.stderrFd, 2) < 0) {
        FailChild(setup.errorPipe, errno);
    }
    // Every other descriptor closes at exec; the error pipe stays open until then.
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < setup.maxFd; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    if (setup.workingDir != nullptr && chdir(setup.workingDir) != 0) FailChild(setup.errorPipe, errno);

    int error = ENOENT;
    bool denied = false;
    for (char* candidate : *setup.candidates) {
        if (candidate == nullptr) break;
        execve(candidate, setup.argv, setup.envp);
        error = errno;
        if (error == EACCES) {
            denied = true;
        } else if (error != ENOENT && error != ENOTDIR) {
            break;
        }
    }
    FailChild(setup.errorPipe, denied && (error == ENOENT || error == ENOTDIR) ? EACCES : error);
}

void SleepSteady(std::chrono::milliseconds duration) {
    timespec remaining{static_cast<time_t>(duration.count() / 1000),
                       static_cast<long>(duration.count() % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

pid_t WaitPid(pid_t pid, int* status, int flags) {
    pid_t result;
    do {
        result = waitpid(pid, status, flags);
    } while (result < 0 && errno == EINTR);
    return result;
}

// True once the child has ended, without reaping it, so its pid (and process group id) stays reserved.
bool HasEnded(pid_t pid) {
    siginfo_t info{};
    int rc;
    do {
        rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (rc < 0 && errno == EINTR);
    return rc < 0 || info.si_pid == pid;
}

// Blocks until the child has ended, without reaping it.
void WaitForEnd(pid_t pid) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
}

// Polls until done() holds or the deadline passed; the poll interval grows from 1 ms.
template <typename Done>
bool PollUntil(Done done, SteadyClock::time_point deadline) {
    std::chrono::milliseconds interval{1};
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) return false;
        SleepSteady(std::min({interval, left, kMaxPollInterval}));
        interval = std::min(interval * 2, kMaxPollInterval);
    }
    return true;
}

bool WaitUntilEnded(pid_t pid, SteadyClock::time_point deadline) {
    return PollUntil([pid] { return HasEnded(pid); }, deadline);
}

// The leader is not reaped yet, so the group id cannot name anybody else's processes; what is left of the
// group once the leader has ended, such as a child that ignored SIGTERM, gets SIGKILL too.
void KillGroup(pid_t pid, std::chrono::milliseconds grace) {
    kill(-pid, SIGTERM);
    WaitUntilEnded(pid, SteadyClock::now() + grace);
    kill(-pid, SIGKILL);
}

// How the wait for a started program ended.
enum class WaitEnd { Ended, TimedOut, Idle, Stopped };

// The descriptors the child gets as 0, 1 and 2.
struct StdioFiles {
    Fd in, out, err;
};

// How far the program has read its standard input and written its output: moves while it works.
off_t Progress(const StdioFiles& files) {
    const off_t read = lseek(files.in.get(), 0, SEEK_CUR);
    off_t written = 0;
    for (const Fd* file : {&files.out, &files.err}) {
        struct stat st {};
        if (fstat(file->get(), &st) == 0) written += st.st_size;
    }
    return (read < 0 ? 0 : read) + written;
}

// Waits until the program ends, its time-out or idle time-out passes or the stop is requested. Without any
// bound it blocks; otherwise it polls (at most every 50 ms).
WaitEnd WaitForProgram(pid_t pid, const ProcessOptions& options, const StdioFiles& files) {
    if (!options.timeout && !options.idleTimeout && !options.stop.stop_possible()) {
        WaitForEnd(pid);
        return WaitEnd::Ended;
    }
    const auto deadline =
        options.timeout ? SteadyClock::now() + *options.timeout : SteadyClock::time_point::max();
    off_t progress = options.idleTimeout ? Progress(files) : 0;
    auto lastProgress = SteadyClock::now();
    bool idle = false;
    PollUntil(
        [&] {
            if (HasEnded(pid) || options.stop.stop_requested()) return true;
            if (!options.idleTimeout) return false;
            const off_t now = Progress(files);
            if (now != progress) {
                progress = now;
                lastProgress = SteadyClock::now();
            }
            idle = SteadyClock::now() - lastProgress >= *options.idleTimeout;
            return idle;
        },
        deadline);
    if (HasEnded(pid)) return WaitEnd::Ended;
    if (options.stop.stop_requested()) return WaitEnd::Stopped;
    return idle ? WaitEnd::Idle : WaitEnd::TimedOut;
}

void ReadStatus(int status, ProcessResult& result) {
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
}

// False with errno set when a file cannot be opened.
bool OpenStdio(const ProcessOptions& options, StdioFiles& files) {
    if (options.stdinFd >= 0) {
        files.in.Reset(fcntl(options.stdinFd, F_DUPFD_CLOEXEC, 3));
    } else {
        files.in.Reset(OpenAboveStdio(options.stdinPath.empty() ? "/dev/null" : options.stdinPath, O_RDONLY));
    }
    if (files.in.get() < 0) return false;
    int outFlags = O_WRONLY | O_CREAT | (options.appendOutput ? O_APPEND : O_TRUNC);
    files.out.Reset(options.stdoutPath.empty() ? OpenAboveStdio("/dev/null", O_WRONLY)
                                               : OpenAboveStdio(options.stdoutPath, outFlags));
    if (files.out.get() < 0) return false;
    if (!options.stderrPath.empty() && options.stderrPath == options.stdoutPath) {
        files.err.Reset(fcntl(files.out.get(), F_DUPFD_CLOEXEC, 3));
    } else {
        files.err.Reset(options.stderrPath.empty() ? OpenAboveStdio("/dev/null", O_WRONLY)
                                                   : OpenAboveStdio(options.stderrPath, outFlags));
    }
    return files.err.get() >= 0;
}

int MaxFdBound() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 65536;
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

ProcessResult NotStarted(int error) {
    ProcessResult result;
    result.startError = error;
    return result;
}

// Reads the child's exec error from the pipe: 0 when exec succeeded (the pipe closed empty).
int ReadExecError(int pipeFd) {
    int error = 0;
    size_t got = 0;
    while (got < sizeof error) {
        ssize_t n = read(pipeFd, reinterpret_cast<char*>(&error) + got, sizeof error - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got == sizeof error ? error : 0;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    if (argv.empty()) return NotStarted(EINVAL);
    if (argv.front().empty()) return NotStarted(ENOENT);
    if (options.stop.stop_requested()) {
        ProcessResult result = NotStarted(ECANCELED);
        result.stopped = true;
        return result;
    }

    StdioFiles stdio;
    if (!OpenStdio(options, stdio)) return NotStarted(errno);

    std::vector<std::string> args = argv;
    std::vector<char*> argPointers = PointerArray(args);
    std::vector<std::string> env;
    std::vector<char*> envPointers;
    if (!options.extraEnv.empty()) {
        env = MergedEnvironment(options.extraEnv);
        envPointers = PointerArray(env);
    }
    std::vector<std::string> candidates = ProgramCandidates(argv.front());
    std::vector<char*> candidatePointers = PointerArray(candidates);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return NotStarted(errno);
    Fd errorRead(pipeFds[0]);
    Fd errorWrite(pipeFds[1]);

    ChildSetup setup{
        .parent = getpid(),
        .stdinFd = stdio.in.get(),
        .stdoutFd = stdio.out.get(),
        .stderrFd = stdio.err.get(),
        .errorPipe = errorWrite.get(),
        .maxFd = MaxFdBound(),
        .workingDir = options.workingDir.empty() ? nullptr : options.workingDir.c_str(),
        .argv = argPointers.data(),
        .envp = envPointers.empty() ? environ : envPointers.data(),
        .candidates = &candidatePointers,
    };

    // Signals stay blocked across fork so that no handler of ours runs in the child before exec.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pid_t pid = fork();
    if (pid == 0) ExecChild(setup);
    int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (pid < 0) return NotStarted(forkError);

    // The child's session (and group) exists once ReadExecError returns, before any kill below.
    errorWrite.Close();
    // Kept while the idle time-out watches them.
    if (!options.idleTimeout) {
        stdio.in.Close();
        stdio.out.Close();
        stdio.err.Close();
    }

    ProcessResult result;
    int execError = ReadExecError(errorRead.get());
    int status = 0;
    if (execError != 0) {
        WaitPid(pid, &status, 0);
        result.startError = execError;
        return result;
    }
    result.started = true;

    const WaitEnd end = WaitForProgram(pid, options, stdio);
    if (end != WaitEnd::Ended) {
        result.timedOut = end == WaitEnd::TimedOut || end == WaitEnd::Idle;
        result.idle = end == WaitEnd::Idle;
        result.stopped = end == WaitEnd::Stopped;
        KillGroup(pid, options.killGrace);
    }
    if (WaitPid(pid, &status, 0) == pid) ReadStatus(status, result);
    return result;
}

}  // namespace zov
