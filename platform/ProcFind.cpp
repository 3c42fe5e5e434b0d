#include "platform/ProcFind.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/AtomicFile.h"

namespace zov {
namespace {

constexpr unsigned long kKernelThreadFlag = 0x00200000;  // PF_KTHREAD
constexpr size_t kKernelNameLength = 15;                 // TASK_COMM_LEN - 1
constexpr const char* kDeletedSuffix = " (deleted)";

struct StatFields {
    char state = 0;
    long parentPid = 0;
    long terminal = 0;
    unsigned long flags = 0;
    unsigned long long startTime = 0;
};

// Parses /proc/<pid>/stat; the name between the parentheses may hold blanks and ')'.
bool ParseStat(const char* text, size_t length, StatFields& fields) {
    const char* end = text + length;
    const char* close = nullptr;
    for (const char* p = text; p < end; ++p) {
        if (*p == ')') close = p;
    }
    if (close == nullptr || close + 2 >= end) return false;
    const char* p = close + 2;
    fields.state = *p;
    // Fields after the state, numbered from 1: ppid, pgrp, session, tty_nr, tpgid, flags, ... starttime (19).
    for (int index = 1; index <= 19; ++index) {
        while (p < end && *p != ' ') ++p;
        if (p >= end) return false;
        ++p;
        char* after = nullptr;
        unsigned long long value = std::strtoull(p, &after, 10);
        if (after == p) return false;
        if (index == 1) fields.parentPid = static_cast<long>(value);
        if (index == 4) fields.terminal = static_cast<long>(value);
        if (index == 6) fields.flags = static_cast<unsigned long>(value);
        if (index == 19) fields.startTime = value;
    }
    return true;
}

// Reads /proc/<pid>/stat into buffer without allocating; false when the process is gone.
bool ReadStat(pid_t pid, StatFields& fields) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    size_t length = 0;
    while (length < sizeof buffer - 1) {
        ssize_t got = read(fd, buffer + length, sizeof buffer - 1 - length);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        length += static_cast<size_t>(got);
    }
    close(fd);
    buffer[length] = '\0';
    return ParseStat(buffer, length, fields) && fields.state != 'Z' && fields.state != 'X';
}

std::string ProcPath(pid_t pid, const char* entry) { return "/proc/" + std::to_string(pid) + "/" + entry; }

std::string ReadLink(const std::string& path) {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> SplitNulTerminated(const std::string& data) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < data.size()) {
        size_t nul = data.find('\0', start);
        if (nul == std::string::npos) nul = data.size();
        parts.push_back(data.substr(start, nul - start));
        start = nul + 1;
    }
    return parts;
}

std::string KernelName(pid_t pid) {
    std::string name = ReadWholeFile(ProcPath(pid, "comm")).value_or("");
    if (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

std::string ProgramName(const std::string& kernelName, const std::string& imagePath) {
    std::string fileName = imagePath.substr(imagePath.rfind('/') + 1);
    if (kernelName.size() == kKernelNameLength && fileName.starts_with(kernelName)) return fileName;
    return kernelName;
}

std::optional<uid_t> RealUid(pid_t pid) {
    std::string status = ReadWholeFile(ProcPath(pid, "status")).value_or("");
    size_t line = status.find("\nUid:");
    if (line == std::string::npos) return std::nullopt;
    return static_cast<uid_t>(std::strtoul(status.c_str() + line + 5, nullptr, 10));
}

}  // namespace

std::optional<ProcessInfo> ReadProcessInfo(pid_t pid) {
    StatFields fields;
    if (pid <= 0 || !ReadStat(pid, fields) || (fields.flags & kKernelThreadFlag) != 0) return std::nullopt;
    std::optional<uid_t> uid = RealUid(pid);
    if (!uid) return std::nullopt;
    ProcessInfo info;
    info.pid = pid;
    info.parentPid = static_cast<pid_t>(fields.parentPid);
    info.uid = *uid;
    info.hasTerminal = fields.terminal != 0;
    info.startTime = fields.startTime;
    info.imagePath = ReadLink(ProcPath(pid, "exe"));
    if (info.imagePath.ends_with(kDeletedSuffix)) {
        info.imagePath.resize(info.imagePath.size() - std::strlen(kDeletedSuffix));
    }
    info.arguments = SplitNulTerminated(ReadWholeFile(ProcPath(pid, "cmdline")).value_or(""));
    info.name = ProgramName(KernelName(pid), info.imagePath);
    return info;
}

std::vector<ProcessInfo> ListProcesses() {
    std::vector<pid_t> pids;
    if (DIR* dir = opendir("/proc")) {
        while (const dirent* entry = readdir(dir)) {
            char* end = nullptr;
            long pid = std::strtol(entry->d_name, &end, 10);
            if (pid > 0 && *end == '\0') pids.push_back(static_cast<pid_t>(pid));
        }
        closedir(dir);
    }
    std::sort(pids.begin(), pids.end());
    std::vector<ProcessInfo> processes;
    for (pid_t pid : pids) {
        if (std::optional<ProcessInfo> info = ReadProcessInfo(pid)) processes.push_back(std::move(*info));
    }
    return processes;
}

std::optional<unsigned long long> ProcessStartTime(pid_t pid) {
    StatFields fields;
    if (pid <= 0 || !ReadStat(pid, fields)) return std::nullopt;
    return fields.startTime;
}

bool IsProcessAlive(pid_t pid, unsigned long long startTime) {
    std::optional<unsigned long long> started = ProcessStartTime(pid);
    return started && *started == startTime;
}

std::string AccountName(uid_t uid) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? std::string(found->pw_name) : std::to_string(uid);
}

}  // namespace zov
