#include "platform/IniProfile.h"

#include <syslog.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/FileVersion.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"
#include "platform/Text.h"

namespace zov::ini {
namespace {

constexpr size_t kMaxValueBytes = 65000;
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;
constexpr std::chrono::milliseconds kLockBound = FileLock::kWaitBound;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Why the last call of this thread failed; "" when it did not.
thread_local std::string lastFailure;
// Whether that failure was news, and so logged.
thread_local bool lastFailureIsNews = false;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) { return EqualsIgnoreAsciiCase(a, b); }

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::string CutValue(std::string_view value) { return std::string(CutUtf8(value, kMaxValueBytes)); }

// A value in one pair of enclosing quotes (double or single) without them.
std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The name of a "[section]" line (up to its last ']').
std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view text = Trim(line);
    if (text.empty() || text.front() != '[') return std::nullopt;
    size_t close = text.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(text.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

std::optional<Entry> ParseEntry(std::string_view line) {
    if (SectionName(line)) return std::nullopt;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view key = Trim(line.substr(0, equals));
    if (key.empty()) return std::nullopt;
    return Entry{key, Trim(line.substr(equals + 1))};
}

// A profile as lines; lines that are neither "[section]" nor "key=value" are kept as they are.
class Profile {
  public:
    explicit Profile(std::string_view text) {
        if (text.starts_with(kByteOrderMark)) {
            bom_ = kByteOrderMark;
            text.remove_prefix(kByteOrderMark.size());
        }
        while (!text.empty()) {
            size_t newline = text.find('\n');
            lines_.emplace_back(text.substr(0, newline));
            text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        }
        crlf_ = !lines_.empty() && lines_.front().ends_with('\r');
    }

    std::string Text() const {
        std::string text = bom_;
        for (const std::string& line : lines_) {
            text += line;
            text += '\n';
        }
        return text;
    }

    std::string Get(std::string_view section, std::string_view key) const {
        if (auto range = Find(section, 0)) {
            for (size_t i = range->header + 1; i < range->end; ++i) {
                auto entry = ParseEntry(lines_[i]);
                if (entry && SameName(entry->key, key)) return CutValue(Unquoted(entry->value));
            }
        }
        return {};
    }

    Entries SectionEntries(std::string_view section) const {
        Entries entries;
        if (auto range = Find(section, 0)) {
            for (size_t i = range->header + 1; i < range->end; ++i) {
                if (auto entry = ParseEntry(lines_[i])) {
                    entries.emplace_back(std::string(entry->key), CutValue(entry->value));
                }
            }
        }
        return entries;
    }

    // An empty value deletes the key (every line of it). True when the text changed.
    bool Set(std::string_view section, std::string_view key, const std::string& value) {
        auto range = Find(section, 0);
        if (!range) {
            if (value.empty()) return false;
            lines_.push_back(HeaderLine(section));
            lines_.push_back(EntryLine(key, value));
            return true;
        }
        if (value.empty()) {
            size_t before = lines_.size();
            for (size_t i = range->end; i-- > range->header + 1;) {
                auto entry = ParseEntry(lines_[i]);
                if (entry && SameName(entry->key, key)) lines_.erase(lines_.begin() + i);
            }
            return lines_.size() != before;
        }
        for (size_t i = range->header + 1; i < range->end; ++i) {
            auto entry = ParseEntry(lines_[i]);
            if (!entry || !SameName(entry->key, key)) continue;
            std::string line = EntryLine(entry->key, value);  // the key keeps its spelling
            bool changed = line != lines_[i];
            lines_[i] = std::move(line);
            return changed;
        }
        lines_.insert(lines_.begin() + EndOfContent(*range), EntryLine(key, value));
        return true;
    }

    // Deletes every section of that name. True when one was there.
    bool RemoveSection(std::string_view section) {
        bool removed = false;
        while (auto range = Find(section, 0)) {
            lines_.erase(lines_.begin() + range->header, lines_.begin() + range->end);
            removed = true;
        }
        return removed;
    }

    void ReplaceSection(std::string_view section, const Entries& entries) {
        std::vector<std::string> body;
        for (const auto& [key, value] : entries) {
            if (!value.empty()) body.push_back(EntryLine(Trim(key), value));
        }
        auto range = Find(section, 0);
        if (!range || body.empty()) {
            RemoveSection(section);
            if (!body.empty()) {
                lines_.push_back(HeaderLine(section));
                lines_.insert(lines_.end(), body.begin(), body.end());
            }
            return;
        }
        while (auto later = Find(section, range->end)) {
            lines_.erase(lines_.begin() + later->header, lines_.begin() + later->end);
        }
        // Blank lines that separate the section from the next one stay.
        size_t contentEnd = EndOfContent(*range);
        lines_.erase(lines_.begin() + range->header + 1, lines_.begin() + contentEnd);
        lines_.insert(lines_.begin() + range->header + 1, body.begin(), body.end());
    }

  private:
    struct Range {
        size_t header;  // the "[section]" line
        size_t end;     // the next section's line or the end
    };

    std::optional<Range> Find(std::string_view section, size_t from) const {
        for (size_t i = from; i < lines_.size(); ++i) {
            auto name = SectionName(lines_[i]);
            if (!name || !SameName(*name, section)) continue;
            size_t end = i + 1;
            while (end < lines_.size() && !SectionName(lines_[end])) ++end;
            return Range{i, end};
        }
        return std::nullopt;
    }

    // New lines follow the file's line ends ("\r\n" when its first line has one).
    std::string EntryLine(std::string_view key, std::string_view value) const {
        std::string line(key);
        line += '=';
        line += value;
        if (crlf_) line += '\r';
        return line;
    }

    std::string HeaderLine(std::string_view section) const {
        return "[" + std::string(section) + (crlf_ ? "]\r" : "]");
    }

    // After the section's last line that is not blank.
    size_t EndOfContent(const Range& range) const {
        size_t end = range.end;
        while (end > range.header + 1 && Trim(lines_[end - 1]).empty()) --end;
        return end;
    }

    std::string bom_;
    bool crlf_ = false;
    std::vector<std::string> lines_;
};

void Fail(const std::string& path, const std::string& reason, bool news = true) {
    lastFailure = "ini file " + path + ": " + reason;
    lastFailureIsNews = news;
    if (news) syslog(LOG_ERR, "%s", lastFailure.c_str());
}

std::string ErrorText(int error) { return std::strerror(error); }

// The file's lock, or one not held after a logged failure.
FileLock LockFile(const std::string& path, FileLock::Mode mode) {
    if (!PrivateRunFolder(ProgramDir())) {
        Fail(path, "no lock folder " + RunFolderOf(ProgramDir()) + ": " + ErrorText(errno));
        return {};
    }
    const std::string lockPath = LockPath(path);
    FileLock lock = FileLock::Acquire(lockPath, mode, kLockBound);
    if (lock.held()) return lock;
    if (errno == ETIMEDOUT) {
        Fail(path,
             "lock " + lockPath + " not had within " + std::to_string(kLockBound.count() / 1000) + " s");
    } else {
        Fail(path, "lock " + lockPath + ": " + ErrorText(errno));
    }
    return {};
}

// The file's text, or nullopt (errno set) when it cannot be read. A file above the size limit is not read
// (EFBIG); the refusal is logged once per change of the file, as every pass of a thread meets it again.
std::optional<std::string> ReadLimited(const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path, kMaxFileBytes);
    if (!text && errno == EFBIG) {
        Fail(path, "larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB, not read",
             NoteNewVersion(path, VersionOfPath(path)));
        errno = EFBIG;
    }
    return text;
}

// The profile read under a shared lock; nullopt after a logged failure. A missing file, or one that
// cannot be read for another reason (a folder, say), reads as empty.
std::optional<Profile> ReadProfile(const std::string& path) {
    FileLock lock = LockFile(path, FileLock::Mode::Shared);
    if (!lock.held()) return std::nullopt;
    std::optional<std::string> text = ReadLimited(path);
    if (!text && errno == EFBIG) return std::nullopt;
    return Profile(text.value_or(""));
}

enum class Edit { Keep, Save, Refuse };

// One read-modify-write under the exclusive lock.
bool ModifyProfile(const std::string& path, const std::function<Edit(Profile&)>& edit) {
    FileLock lock = LockFile(path, FileLock::Mode::Exclusive);
    if (!lock.held()) return false;
    std::optional<std::string> text = ReadLimited(path);
    if (!text && PathExists(path)) return false;  // never replace a file that could not be read
    Profile profile(text.value_or(""));
    switch (edit(profile)) {
        case Edit::Keep:
            return true;
        case Edit::Refuse:
            return false;
        case Edit::Save:
            break;
    }
    return WriteFileAtomic(path, profile.Text());
}

bool ValidSection(std::string_view section) { return !Trim(section).empty() && !HasLineBreak(section); }

bool ValidKey(std::string_view key) {
    std::string_view name = Trim(key);
    return !name.empty() && name.front() != '[' && key.find('=') == std::string_view::npos &&
           !HasLineBreak(key);
}

// The Values of UpdateValues over a profile: sets that cannot be written spoil the step.
class ProfileValues final : public Values {
  public:
    explicit ProfileValues(Profile& profile) : profile_(profile) {}

    std::string Get(const std::string& section, const std::string& key) const override {
        if (!ValidSection(section) || Trim(key).empty()) return {};
        return profile_.Get(Trim(section), Trim(key));
    }

    void Set(const std::string& section, const std::string& key, const std::string& value) override {
        if (!ValidSection(section) || !ValidKey(key) || HasLineBreak(value)) {
            refused_ = true;
            return;
        }
        changed_ = profile_.Set(Trim(section), Trim(key), CutValue(value)) || changed_;
    }

    bool refused() const { return refused_; }
    bool changed() const { return changed_; }

  private:
    Profile& profile_;
    bool refused_ = false;
    bool changed_ = false;
};

}  // namespace

std::string LockPath(const std::string& path) {
    return RunFolderOf(ProgramDir()) + path.substr(path.rfind('/') + 1) + ".lock";
}

const std::string& LastFailure() { return lastFailure; }
bool LastFailureIsNews() { return lastFailureIsNews; }

std::optional<std::string> TryRead(const std::string& path, const std::string& section,
                                   const std::string& key) {
    lastFailure.clear();
    if (path.empty() || !ValidSection(section) || Trim(key).empty()) return std::string();
    std::optional<Profile> profile = ReadProfile(path);
    if (!profile) return std::nullopt;
    return profile->Get(Trim(section), Trim(key));
}

std::string Read(const std::string& path, const std::string& section, const std::string& key) {
    return TryRead(path, section, key).value_or("");
}

bool Write(const std::string& path, const std::string& section, const std::string& key,
           const std::string& value) {
    lastFailure.clear();
    if (path.empty() || !ValidSection(section)) return false;
    if (key.empty()) {
        return ModifyProfile(path, [&](Profile& profile) {
            return profile.RemoveSection(Trim(section)) ? Edit::Save : Edit::Keep;
        });
    }
    if (!ValidKey(key) || HasLineBreak(value)) return false;
    return ModifyProfile(path, [&](Profile& profile) {
        return profile.Set(Trim(section), Trim(key), CutValue(value)) ? Edit::Save : Edit::Keep;
    });
}

bool Update(const std::string& path, const std::string& section, const std::string& key,
            const std::function<std::optional<std::string>(const std::string& current)>& change) {
    lastFailure.clear();
    if (path.empty() || !ValidSection(section) || !ValidKey(key)) return false;
    return ModifyProfile(path, [&](Profile& profile) {
        std::optional<std::string> value = change(profile.Get(Trim(section), Trim(key)));
        if (!value) return Edit::Keep;
        if (HasLineBreak(*value)) return Edit::Refuse;
        return profile.Set(Trim(section), Trim(key), CutValue(*value)) ? Edit::Save : Edit::Keep;
    });
}

bool UpdateValues(const std::string& path, const std::function<bool(Values& values)>& change) {
    lastFailure.clear();
    if (path.empty()) return false;
    return ModifyProfile(path, [&](Profile& profile) {
        ProfileValues values(profile);
        if (!change(values)) return Edit::Keep;
        if (values.refused()) return Edit::Refuse;
        return values.changed() ? Edit::Save : Edit::Keep;
    });
}

std::vector<std::string> Keys(const std::string& path, const std::string& section) {
    lastFailure.clear();
    std::vector<std::string> keys;
    if (path.empty() || !ValidSection(section)) return keys;
    std::optional<Profile> profile = ReadProfile(path);
    if (!profile) return keys;
    for (auto& [key, value] : profile->SectionEntries(Trim(section))) keys.push_back(std::move(key));
    return keys;
}

bool UpdateSection(const std::string& path, const std::string& section,
                   const std::function<std::optional<Entries>(const Entries& current)>& change) {
    lastFailure.clear();
    if (path.empty() || !ValidSection(section)) return false;
    return ModifyProfile(path, [&](Profile& profile) {
        std::optional<Entries> entries = change(profile.SectionEntries(Trim(section)));
        if (!entries) return Edit::Keep;
        for (auto& [key, value] : *entries) {
            if (!ValidKey(key) || HasLineBreak(value)) return Edit::Refuse;
            value = CutValue(value);
        }
        profile.ReplaceSection(Trim(section), *entries);
        return Edit::Save;
    });
}

}  // namespace zov::ini
