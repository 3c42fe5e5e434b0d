#include "engine/settings/IniFile.h"

#include "engine/settings/SystemLog.h"
#include "engine/settings/TempIniKeys.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"
#include "platform/IniProfile.h"

namespace zov {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// The result of an ini call; a lock or size failure that the ini layer wrote to syslog goes to the system
// log as well.
template <typename Result>
Result Logged(Result result) {
    if (!ini::LastFailure().empty() && ini::LastFailureIsNews()) WriteSystemLog(ini::LastFailure());
    return result;
}

}  // namespace

bool ListHasWord(const std::string& list, const std::string& word) {
    return !word.empty() && LowerCopy(list).find(LowerCopy(word)) != std::string::npos;
}

std::string ListWithWord(const std::string& list, const std::string& word) {
    if (word.empty() || list.find(word) != std::string::npos) return list;
    return list.empty() ? word : list + " " + word;
}

// Occurrences removed, double blanks collapsed, one outer blank cut.
std::string ListWithoutWord(std::string list, const std::string& word) {
    if (word.empty()) return list;
    ReplaceAll(list, word, "");
    for (size_t at = list.find("  "); at != std::string::npos; at = list.find("  ", at)) list.erase(at, 1);
    if (!list.empty() && list.front() == ' ') list.erase(0, 1);
    if (!list.empty() && list.back() == ' ') list.pop_back();
    return list;
}

std::optional<std::string> IniFile::TryRead(const std::string& key, const std::string& section) const {
    return Logged(ini::TryRead(path_, section, key));
}

std::string IniFile::Read(const std::string& key, const std::string& section) const {
    return TryRead(key, section).value_or("");
}

bool IniFile::Write(const std::string& key, const std::string& section, const std::string& value) const {
    return Logged(ini::Write(path_, section, key, value));
}

bool IniFile::HasWord(const std::string& key, const std::string& section, const std::string& word) const {
    return !word.empty() && ListHasWord(Read(key, section), word);
}

bool IniFile::AddWord(const std::string& key, const std::string& section, const std::string& word) const {
    if (word.empty()) return true;
    return Logged(
        ini::Update(path_, section, key, [&](const std::string& current) -> std::optional<std::string> {
            std::string extended = ListWithWord(current, word);
            if (extended == current) return std::nullopt;
            return extended;
        }));
}

bool IniFile::RemoveWord(const std::string& key, const std::string& section, const std::string& word) const {
    if (word.empty()) return true;
    return Logged(
        ini::Update(path_, section, key, [&](const std::string& current) -> std::optional<std::string> {
            if (current.empty()) return std::nullopt;
            std::string remaining = ListWithoutWord(current, word);
            if (remaining == current) return std::nullopt;
            return remaining;
        }));
}

bool IniFile::UpdateValues(const std::function<bool(ini::Values& values)>& change) const {
    return Logged(ini::UpdateValues(path_, change));
}

std::vector<std::string> IniFile::GetTempTaskIds() const {
    return Logged(ini::Keys(path_, kTempTasksSection));
}

bool IniFile::ResetDailySection(const std::string& section, std::time_t when) const {
    if (section.empty()) return true;
    const std::string today = FormatLocalTime(when, kDayFormat);
    return Logged(
        ini::UpdateSection(path_, section, [&](const ini::Entries& entries) -> std::optional<ini::Entries> {
            for (const auto& [key, value] : entries) {
                if (LowerCopy(key) == LowerCopy(kDayKey)) {
                    if (!value.empty() && !(today > value)) return std::nullopt;
                    break;
                }
            }
            return ini::Entries{{kDayKey, today}};
        }));
}

}  // namespace zov
