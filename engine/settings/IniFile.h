#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/IniProfile.h"

namespace zov {

// The word lists of IniFile: true when the word is not empty and a substring of the list (ASCII case
// folded).
bool ListHasWord(const std::string& list, const std::string& word);
// The list with the word appended after one blank; unchanged when it already holds the word.
std::string ListWithWord(const std::string& list, const std::string& word);
// The list without any occurrence of the word and the blanks left over.
std::string ListWithoutWord(std::string list, const std::string& word);

// Accessor of one settings file (config.ini, temp.ini). The key comes before the section. Word lists are
// blank-separated "HH:MM" times in one value; membership is a substring test, exact for such lists.
// Every call is one locked step on the file, so concurrent threads and processes lose no change. A lock
// not had in time or a file too large fails the call (reads give "", writes false) and is logged to syslog
// and the system log: a lock failure each time, a file too large once per change of the file.
class IniFile {
  public:
    IniFile() = default;
    explicit IniFile(std::string path) : path_(std::move(path)) {}

    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& path() const { return path_; }

    // "" when the path, section or key is empty or the key is missing; nullopt when the file could not be
    // read (its lock not had in time, or larger than the ini layer reads).
    std::optional<std::string> TryRead(const std::string& key, const std::string& section) const;
    // TryRead, with "" for a file that could not be read.
    std::string Read(const std::string& key, const std::string& section) const;
    // An empty value deletes the key, an empty key the whole section. False when the path or section is
    // empty or the file cannot be written.
    bool Write(const std::string& key, const std::string& section, const std::string& value) const;

    // False for an empty word or value; otherwise the word is a substring of the value (ASCII case folded).
    bool HasWord(const std::string& key, const std::string& section, const std::string& word) const;
    // Appends the word with one blank unless the value already holds it. True when nothing was to be
    // done or the write succeeded.
    bool AddWord(const std::string& key, const std::string& section, const std::string& word) const;
    // Removes every occurrence of the word and the blanks left over; an emptied value deletes the key.
    // True when nothing was to be done or the write succeeded.
    bool RemoveWord(const std::string& key, const std::string& section, const std::string& word) const;

    // Several values read and changed in one locked step (ini::UpdateValues).
    bool UpdateValues(const std::function<bool(ini::Values& values)>& change) const;

    // Every key name of section "TEMPTASKS" in file order ("DAY" included).
    std::vector<std::string> GetTempTaskIds() const;

    // Empties the section and marks it with the "DAY" ("%Y%m%d") of when, when its day is missing or
    // earlier; a later day (clock turned back) is left alone. False only when the write failed.
    bool ResetDailySection(const std::string& section, std::time_t when = Now()) const;

  private:
    std::string path_;
};

}  // namespace zov
