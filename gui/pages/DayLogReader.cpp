#include "gui/pages/DayLogReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#include "engine/logs/LogCleanup.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov::gui {

namespace {

constexpr std::size_t kDayLength = 10;
constexpr std::time_t kSecondsPerDay = 86400;
constexpr std::size_t kReadChunk = 1 << 20;

// The names "YYYY-MM-DD.log" of the folder whose day is later than cutoffDay, sorted.
std::vector<std::string> DayFilesAfter(const std::string& folder, const std::string& cutoffDay) {
    std::vector<std::string> names;
    for (std::string& name : ListDirectory(folder)) {
        if (IsDatedLogName(name) && name.substr(0, kDayLength) > cutoffDay) names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

void DayLogReader::Reset() {
    files_.clear();
    fresh_ = true;
}

DayLogReader::Batch DayLogReader::Read(const std::string& folder, int days, std::time_t now) {
    if (folder != folder_) Reset();
    folder_ = folder;
    const std::string cutoff =
        FormatLocalTime(now - static_cast<std::time_t>(days) * kSecondsPerDay, "%Y-%m-%d %H:%M:%S");
    Batch batch;
    for (int attempt = 0; attempt < 2; ++attempt) {
        batch.fromStart = fresh_;
        batch.records.clear();
        bool replaced = false;
        for (const std::string& name : DayFilesAfter(folder, cutoff.substr(0, kDayLength))) {
            if (!ReadFile(folder + name, cutoff, batch.records)) {
                replaced = true;
                break;
            }
        }
        fresh_ = false;
        if (!replaced) break;
        Reset();
    }
    return batch;
}

bool DayLogReader::ReadFile(const std::string& path, const std::string& cutoff,
                            std::vector<LogRecord>& records) {
    // Non-blocking and checked on the descriptor: a pipe or a folder under a day file's name is passed over.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return true;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return true;
    }
    FileState& state = files_[path];
    if (state.consumed > 0 &&
        (info.st_dev != state.device || info.st_ino != state.inode || info.st_size < state.consumed)) {
        close(fd);
        return false;
    }
    state.device = info.st_dev;
    state.inode = info.st_ino;
    std::string text;
    std::string chunk(kReadChunk, '\0');
    for (off_t at = state.consumed;;) {
        const ssize_t got = pread(fd, chunk.data(), chunk.size(), at);
        if (got <= 0) break;
        text.append(chunk.data(), static_cast<std::size_t>(got));
        at += got;
    }
    close(fd);
    const std::size_t end = text.rfind('\n');
    if (end == std::string::npos) return true;
    state.consumed += static_cast<off_t>(end + 1);
    std::string_view lines(text.data(), end + 1);
    while (!lines.empty()) {
        const std::size_t newline = lines.find('\n');
        std::optional<LogRecord> record = ParseLogLine(lines.substr(0, newline));
        lines.remove_prefix(newline + 1);
        if (record && record->category == category_ && !(record->startTime < cutoff)) {
            records.push_back(std::move(*record));
        }
    }
    return true;
}

}  // namespace zov::gui
