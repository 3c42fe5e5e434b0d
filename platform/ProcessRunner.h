#pragma once

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

// The one way to run another program: an argument vector (no shell), standard input from /dev/null, a
// file or a descriptor, output to files, its own session and process group (no controlling terminal), a
// bounded wait that kills the group on time-out or when the caller's stop is requested. The program gets
// SIGTERM when the process that ran it dies.
namespace zov {

struct ProcessOptions {
    std::string workingDir;             // "" keeps the caller's
    std::string stdinPath;              // "" reads /dev/null
    int stdinFd = -1;                   // read in place of stdinPath when >= 0; the caller keeps it open
    std::string stdoutPath;             // "" writes to /dev/null
    std::string stderrPath;             // "" writes to /dev/null; may equal stdoutPath
    bool appendOutput = false;          // append to the output files instead of truncating them
    std::vector<std::string> extraEnv;  // "NAME=value" entries added to the caller's environment
    std::optional<std::chrono::milliseconds> timeout;  // nullopt waits without limit
    // Ends the program (as the time-out does) once for this long neither its standard input was read
    // further nor its output grew; nullopt watches nothing.
    std::optional<std::chrono::milliseconds> idleTimeout;
    // A stop requested here ends the program's process group (a program is not started once it was).
    std::stop_token stop;
    // From SIGTERM to SIGKILL when the time-out or the stop ends the group.
    std::chrono::milliseconds killGrace{2000};
};

struct ProcessResult {
    bool started = false;   // false: the program could not be run (missing, not executable, fork failed)
    bool timedOut = false;  // the time-out ended it (its process group was killed)
    bool idle = false;      // with timedOut: the idle time-out ended it
    bool stopped = false;   // the stop ended it (its process group was killed), or kept it from starting
    int exitCode = -1;      // exit status when it exited normally, else -1
    int signal = 0;         // the signal that ended it, else 0
    int startError = 0;     // errno when !started (ECANCELED when the stop came first)

    bool Succeeded() const { return started && !timedOut && !stopped && signal == 0 && exitCode == 0; }
};

// argv[0] is the program: a path, or a name searched on PATH.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

}  // namespace zov
