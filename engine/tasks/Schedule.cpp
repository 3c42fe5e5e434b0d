#include "engine/tasks/Schedule.h"

#include <algorithm>
#include <vector>

#include "engine/util/CommonText.h"
#include "engine/util/CommonTime.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr std::string_view kClockTimePattern = "^(([0-1][0-9])|(2[0-3])):[0-5][0-9]$";
constexpr std::string_view kBadFolderCharacters = "<>|?";
constexpr std::string_view kTimeItemCharacters = "1234567890:,";

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The items of a typed times field: full-width commas and blanks become ',', "：" becomes ':'; split at ',',
// empty items left out.
std::vector<std::string> TypedTimeItems(std::string text) {
    ReplaceAll(text, "，", ",");
    ReplaceAll(text, " ", ",");
    ReplaceAll(text, "：", ":");
    std::vector<std::string> items;
    SplitToList(items, text, ',');
    std::erase(items, "");
    return items;
}

// The time of day "HH:MM" a typed item names (made only of digits and ':'); "" when it names none.
std::string TypedClockTime(std::string item) {
    if (item.find_first_not_of(kTimeItemCharacters) != std::string::npos) return "";
    NormalizeTimeText(item);
    return IsClockTime(item) ? item : "";
}

}  // namespace

int WeekdayIndex(int year, int month, int day) {
    if (month < 3) {
        month += 12;
        year -= 1;
    }
    return (day + 2 * month + (3 * month + 3) / 5 + year + year / 4 - year / 100 + year / 400) % 7;
}

bool IsClockTime(std::string_view text) {
    return text.size() == kClockTimeLength && RegexMatch(text, kClockTimePattern);
}

std::vector<std::string> AllTimeItems(std::string_view times) {
    std::string text(times);
    ReplaceAll(text, "，", " ");
    std::replace(text.begin(), text.end(), ',', ' ');
    std::vector<std::string> items;
    SplitToList(items, text, ' ', true, 1);
    std::erase(items, "");
    return items;
}

std::vector<std::string> TimeItems(std::string_view times) {
    std::vector<std::string> items = AllTimeItems(times);
    std::erase_if(items, [](const std::string& item) { return item.size() != kClockTimeLength; });
    return items;
}

std::string UnusableFolderReason(const TaskInfo& task) {
    // A relative source would be taken from the working folder, and one starting with '-' read as a switch.
    if (task.IsFileTask() && !IsAbsolutePath(task.source)) return "源目录不是绝对路径：" + task.source;
    if (task.dest.find_first_of(kBadFolderCharacters) != std::string::npos || !IsAbsolutePath(task.dest)) {
        return "备份存储目录不合法：" + task.dest;
    }
    return "";
}

bool IsDueToday(const TaskInfo& task, std::time_t when) {
    if (!task.HasFlag(kTaskScheduled) || !UnusableFolderReason(task).empty()) return false;
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) return false;
    switch (task.period) {
        case kDaily:
            return true;
        case kWeekly:
            return task.days.test(WeekdayIndex(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
        case kMonthly:
            return task.days.test(local.tm_mday - 1);
        default:
            return false;
    }
}

std::string CheckTimeList(std::string text) {
    std::vector<std::string> kept;
    for (const std::string& item : TypedTimeItems(std::move(text))) {
        const std::string time = TypedClockTime(item);
        if (!time.empty() && std::find(kept.begin(), kept.end(), time) == kept.end()) kept.push_back(time);
    }
    std::string result;
    for (const std::string& item : kept) {
        if (!result.empty()) result += ',';
        result += item;
    }
    return result;
}

std::vector<std::string> BadTimeItems(std::string text) {
    std::vector<std::string> bad = TypedTimeItems(std::move(text));
    std::erase_if(bad, [](const std::string& item) { return !TypedClockTime(item).empty(); });
    return bad;
}

std::string BadTimesText(const std::vector<std::string>& items) {
    std::string text = "备份时间";
    for (const std::string& item : items) text += "“" + item + "”";
    return text + "无效";
}

std::string GetDateText(const TaskInfo& task, std::time_t when) {
    if (task.id <= 0 || task.IsFileTask()) return "";
    return FormatLocalTime(when, "%Y-%m-%d");
}

}  // namespace zov
