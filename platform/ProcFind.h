#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// Processes as /proc shows them: how the local service manager finds services it did not start.
namespace zov {

struct ProcessInfo {
    pid_t pid = 0;
    pid_t parentPid = 0;
    // The program name: the kernel's name of the process, or the image's file name when the kernel's
    // 15-byte name is its beginning (so long names are not cut).
    std::string name;
    std::string imagePath;               // "" when /proc/<pid>/exe cannot be read
    std::vector<std::string> arguments;  // the command line, argv[0] first
    uid_t uid = 0;                       // real user id
    bool hasTerminal = false;            // a controlling terminal; daemons have none
    unsigned long long startTime = 0;    // clock ticks after boot
};

// Nullopt when the process does not exist, has ended (zombie) or is a kernel thread.
std::optional<ProcessInfo> ReadProcessInfo(pid_t pid);

// Every live user-space process, ordered by pid.
std::vector<ProcessInfo> ListProcesses();

// The start time of a live process, nullopt when it does not exist or has ended. Reads into a fixed
// buffer without allocating, so a forked child of a threaded process may call it.
std::optional<unsigned long long> ProcessStartTime(pid_t pid);

// True when pid names a live process that started at startTime (not a later process given the same pid).
bool IsProcessAlive(pid_t pid, unsigned long long startTime);

// The user name of uid, or its number as text when it has no name.
std::string AccountName(uid_t uid);

}  // namespace zov
