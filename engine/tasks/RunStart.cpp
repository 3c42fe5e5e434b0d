#include "engine/tasks/RunStart.h"

#include <cerrno>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/tasks/Schedule.h"
#include "platform/Clock.h"
#include "platform/IniProfile.h"

namespace zov {
namespace {

bool TimeStarted(const ini::Values& values, const std::string& key, const std::string& time) {
    for (const char* section : {kRunningSection, kSucceededSection, kFailedSection}) {
        if (ListHasWord(values.Get(section, key), time)) return true;
    }
    return false;
}

// The scheduled time of the task at the minute of now, "" when it has none then.
std::string DueTime(const TaskInfo& task, std::time_t now) {
    if (!IsDueToday(task, now)) return "";
    const std::string minute = FormatLocalTime(now, "%H:%M");
    for (const std::string& time : TimeItems(task.times)) {
        if (time == minute) return time;
    }
    return "";
}

// Moves time of key from one daily section to another.
void MoveTime(ini::Values& values, const std::string& key, const std::string& time, const char* from,
              const char* to) {
    values.Set(from, key, ListWithoutWord(values.Get(from, key), time));
    values.Set(to, key, ListWithWord(values.Get(to, key), time));
}

// [HANDRUN] "<id>": the start and the taken-over time.
std::string HandRunNote(std::time_t start, const std::string& takenTime) {
    return std::to_string(start) + (takenTime.empty() ? "" : " " + takenTime);
}

EndedHandRun ReadHandRunNote(int id, const std::string& note) {
    EndedHandRun run;
    run.id = id;
    const std::vector<std::string> words = AllTimeItems(note);
    if (words.empty()) return run;
    const std::string& start = words.front();
    const auto [end, error] = std::from_chars(start.data(), start.data() + start.size(), run.start);
    if (error != std::errc() || end != start.data() + start.size() || run.start < 0) run.start = 0;
    if (words.size() > 1) run.takenTime = words[1];
    return run;
}

std::optional<int> TaskIdOfMark(const std::string& key) {
    int id = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), id);
    if (error != std::errc() || end != key.data() + key.size() || std::to_string(id) != key)
        return std::nullopt;
    return id;
}

}  // namespace

bool IsHandRunMark(const std::string& value) { return ListHasWord(value, kHandRunMark); }

std::string HandRunLockPath(int id) { return RunFolder() + "handrun." + std::to_string(id) + ".lock"; }

bool HandRunLive(int id) {
    const FileLock probe = FileLock::TryAcquire(HandRunLockPath(id), FileLock::Mode::Shared);
    return !probe.held();
}

RunStart StartScheduledRun(int id, const std::string& time) {
    const std::string key = RunStateKey(id);
    RunStart result = RunStart::Started;
    const bool written = IniFile(TempIniPath()).UpdateValues([&](ini::Values& values) {
        if (TimeStarted(values, key, time)) {
            result = RunStart::Busy;
        } else if (IsHandRunMark(values.Get(kTempTasksSection, std::to_string(id))) && HandRunLive(id)) {
            result = RunStart::ByHand;
        } else {
            values.Set(kRunningSection, key, ListWithWord(values.Get(kRunningSection, key), time));
            return true;
        }
        return false;
    });
    return written ? result : RunStart::NotWritten;
}

HandRun::HandRun(const TaskInfo& task, std::time_t now) : id_(task.id) {
    lock_ = FileLock::TryAcquire(HandRunLockPath(id_), FileLock::Mode::Exclusive);
    if (!lock_.held()) {
        if (errno == EWOULDBLOCK) state_ = RunStart::Busy;
        return;
    }
    const std::string key = RunStateKey(id_);
    const std::string mark = std::to_string(id_);
    const std::string due = DueTime(task, now);
    RunStart result = RunStart::Started;
    const bool written = IniFile(TempIniPath()).UpdateValues([&](ini::Values& values) {
        if (IsHandRunMark(values.Get(kTempTasksSection, mark)) || !values.Get(kRunningSection, key).empty()) {
            result = RunStart::Busy;
            return false;
        }
        values.Set(kTempTasksSection, mark, kHandRunMark);
        if (!due.empty() && !TimeStarted(values, key, due)) {
            values.Set(kRunningSection, key, due);
            takenTime_ = due;
        }
        values.Set(kHandRunSection, mark, HandRunNote(now, takenTime_));
        return true;
    });
    state_ = written ? result : RunStart::NotWritten;
    if (state_ != RunStart::Started) {
        takenTime_.clear();
        lock_.Release();
    }
}

bool HandRun::Finish(bool succeeded) {
    if (state_ != RunStart::Started || finished_) return true;
    finished_ = true;
    const std::string key = RunStateKey(id_);
    const bool written = IniFile(TempIniPath()).UpdateValues([&](ini::Values& values) {
        values.Set(kTempTasksSection, std::to_string(id_), succeeded ? "" : kHandRunFailed);
        values.Set(kHandRunSection, std::to_string(id_), "");
        if (!takenTime_.empty()) {
            MoveTime(values, key, takenTime_, kRunningSection,
                     succeeded ? kSucceededSection : kFailedSection);
        }
        return true;
    });
    lock_.Release();
    return written;
}

std::vector<EndedHandRun> FileEndedHandRuns() {
    const std::string path = TempIniPath();
    std::vector<int> marked;
    for (const std::string& key : ini::Keys(path, kTempTasksSection)) {
        if (const std::optional<int> id = TaskIdOfMark(key)) marked.push_back(*id);
    }
    std::vector<EndedHandRun> ended;
    const bool written = IniFile(path).UpdateValues([&](ini::Values& values) {
        ended.clear();
        for (const int id : marked) {
            const std::string mark = std::to_string(id);
            if (!IsHandRunMark(values.Get(kTempTasksSection, mark)) || HandRunLive(id)) continue;
            EndedHandRun run = ReadHandRunNote(id, values.Get(kHandRunSection, mark));
            const std::string key = RunStateKey(id);
            // A scheduled run started since the program ended writes into the same folders: later.
            if (!AllTimeItems(ListWithoutWord(values.Get(kRunningSection, key), run.takenTime)).empty())
                continue;
            if (!run.takenTime.empty() && ListHasWord(values.Get(kRunningSection, key), run.takenTime)) {
                MoveTime(values, key, run.takenTime, kRunningSection, kFailedSection);
            } else {
                run.takenTime.clear();
            }
            values.Set(kTempTasksSection, mark, kHandRunFailed);
            values.Set(kHandRunSection, mark, "");
            ended.push_back(run);
        }
        return !ended.empty();
    });
    if (!written) ended.clear();
    return ended;
}

}  // namespace zov
