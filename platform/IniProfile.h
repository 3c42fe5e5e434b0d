#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Profile (ini) files with the Windows profile rules: sections and keys compared without regard to ASCII
// case, an empty value deletes the key, an empty key deletes the section, key order kept. Every call holds
// an flock on the file's lock (LockPath), waiting for it at most FileLock::kWaitBound, and replaces the
// file atomically (temp file in the same folder, fsync, rename). Names and values are read without
// surrounding blanks, a value in one pair of enclosing quotes (double or single) without them; values hold
// at most 65,000 bytes (longer ones are cut on a UTF-8 character boundary). Names or values with a line
// break are refused (false). A file above 16 MiB is neither read nor replaced.
// A lock not had in time and a file too large are failures of the call, told by LastFailure and logged to
// syslog: a lock failure every time, a file too large once per change of the file.
namespace zov::ini {

// The lock file of an ini file, one per file name: "<program folder>run/<file name>.lock".
std::string LockPath(const std::string& path);

// Why the last call of this thread failed with a lock or size error; "" when it did not.
const std::string& LastFailure();
// Whether that failure was logged now; false for a file too large that was already refused as it is.
bool LastFailureIsNews();

// The value ("" when the file, section or key is missing), or nullopt when the file could not be read.
std::optional<std::string> TryRead(const std::string& path, const std::string& section,
                                   const std::string& key);
// TryRead, with "" for a file that could not be read.
std::string Read(const std::string& path, const std::string& section, const std::string& key);

// key "" deletes the section; value "" deletes the key. False when path or section is empty or the
// file cannot be written.
bool Write(const std::string& path, const std::string& section, const std::string& key,
           const std::string& value);

// One locked read-modify-write of one key: change receives the current value ("" when missing) and
// returns the new value ("" deletes the key) or nullopt to leave the file untouched.
// Returns false when the path, section or key is empty or the write failed.
bool Update(const std::string& path, const std::string& section, const std::string& key,
            const std::function<std::optional<std::string>(const std::string& current)>& change);

// The values of the file inside one locked step of UpdateValues.
class Values {
  public:
    virtual ~Values() = default;
    // The current value ("" when the section or key is missing).
    virtual std::string Get(const std::string& section, const std::string& key) const = 0;
    // Changes a value; "" deletes the key. A section or key that cannot be written (empty, a line break,
    // ...) or a value with a line break makes the whole step fail without writing.
    virtual void Set(const std::string& section, const std::string& key, const std::string& value) = 0;
};

// One locked read-modify-write of any keys of any sections: change reads and sets through its values and
// returns true to write what it set, false to leave the file untouched. False when the path is empty, a set
// was refused or the write failed; true otherwise (also when change kept the file as it was).
bool UpdateValues(const std::string& path, const std::function<bool(Values& values)>& change);

// Key names of a section in file order; none when the file could not be read.
std::vector<std::string> Keys(const std::string& path, const std::string& section);

// The keys and values of a section in file order.
using Entries = std::vector<std::pair<std::string, std::string>>;

// One locked read-modify-write of a whole section: change receives its entries and returns the entries
// that replace the section (none deletes it; entries with an empty value are left out) or nullopt to leave
// the file untouched. Returns false when the path or section is empty or the write failed.
bool UpdateSection(const std::string& path, const std::string& section,
                   const std::function<std::optional<Entries>(const Entries& current)>& change);

}  // namespace zov::ini
