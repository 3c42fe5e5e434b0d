#include "service/InterruptedRuns.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/backup/Backup.h"
#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/settings/SystemError.h"
#include "engine/settings/SystemLog.h"
#include "engine/tasks/QelXml.h"
#include "engine/tasks/RunStart.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"
#include "platform/IniProfile.h"
#include "service/RunState.h"

namespace zov {
namespace {

constexpr const char* kRunStateKeyPrefix = "time_";

// The task id of a key "TIME_<id>".
std::optional<int> RunStateKeyId(const std::string& key) {
    const std::string lower = LowerCopy(key);
    const std::string_view prefix = kRunStateKeyPrefix;
    if (!lower.starts_with(prefix)) return std::nullopt;
    const char* last = lower.data() + lower.size();
    int id = 0;
    const auto [end, error] = std::from_chars(lower.data() + prefix.size(), last, id);
    if (error != std::errc() || end != last || LowerCopy(RunStateKey(id)) != lower) return std::nullopt;
    return id;
}

// The time among times that the run started at start belongs to: the latest one at or before it on the
// day of today; "" when none.
std::string TimeOfRun(const std::vector<std::string>& times, std::time_t start, const std::string& today) {
    if (start == 0 || FormatLocalTime(start, kDayFormat) != today) return "";
    const std::string startTime = FormatLocalTime(start, "%H:%M");
    std::string owner;
    for (const std::string& time : times) {
        if (time <= startTime && time > owner) owner = time;
    }
    return owner;
}

void RecoverTask(const IniFile& temp, const CQelXML& store, int id, const std::string& today,
                 const InterruptedRunHandler& handler) {
    const std::string key = RunStateKey(id);
    const std::vector<std::string> times = CQelXML::TimeItems(temp.Read(key, kRunningSection));
    // The time a live hand run took over is its own: the hand run files it when it ends.
    if (IsHandRunMark(temp.Read(std::to_string(id), kTempTasksSection)) && HandRunLive(id)) return;
    TaskInfo task;
    const bool known = store.GetTaskById(id, task);
    task.id = id;
    const std::time_t start = RecordedRunStart(id);
    const std::string startedTime = TimeOfRun(times, start, today);
    for (const std::string& time : times) {
        task.times = time;
        if (!temp.AddWord(key, kFailedSection, time) || !temp.RemoveWord(key, kRunningSection, time)) {
            LogSystemError(ScheduledRunText(task) + "的运行被中断，但无法在 " + temp.path() + " 中记为失败");
            continue;
        }
        WriteSystemLog(ScheduledRunText(task) + "的运行被中断，记为失败");
        if (known && handler) handler(task, time == startedTime ? start : 0);
    }
}

}  // namespace

void RecoverInterruptedRuns(const InterruptedRunHandler& handler) {
    CBackup backup;
    backup.RecoverEndedHandRuns();
    const IniFile temp(TempIniPath());
    const std::string today = FormatLocalTime(Now(), kDayFormat);
    if (temp.Read(kDayKey, kRunningSection) == today) {
        CQelXML store;
        store.SetFilePath(TaskDbPath());
        store.Load();
        for (const std::string& key : ini::Keys(temp.path(), kRunningSection)) {
            if (const std::optional<int> id = RunStateKeyId(key))
                RecoverTask(temp, store, *id, today, handler);
        }
    }
    // A hand run left behind a scheduled run of its task that was cut short too.
    backup.RecoverEndedHandRuns();
}

}  // namespace zov
