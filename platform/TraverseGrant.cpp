#include "platform/TraverseGrant.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/FolderPassage.h"
#include "platform/ProcFind.h"

namespace zov {
namespace {

constexpr mode_t kRecordMode = 0600;

// One folder changed for one account, and the holders that need the change.
struct Record {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    uid_t uid = 0;
    std::string changes;
    std::vector<std::string> holders;
    std::string path;

    bool IsFolder(unsigned long long otherDevice, unsigned long long otherInode) const {
        return device == otherDevice && inode == otherInode;
    }
};

struct Level {
    int fd;
    std::string path;
    unsigned long long device;
    unsigned long long inode;
};

// "/" and every level of a path below it, open for the life of the object.
class FolderChain {
  public:
    FolderChain() = default;
    ~FolderChain() {
        for (const Level& level : levels_) ::close(level.fd);
    }
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // Opens the levels of real (absolute, no link in it) from "/" down, never following a link. 0 or an
    // errno value.
    int Open(const std::string& real) {
        if (!Add(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC), "/")) return errno;
        for (std::size_t start = 1; start < real.size();) {
            std::size_t end = real.find('/', start);
            if (end == std::string::npos) end = real.size();
            const std::string name = real.substr(start, end - start);
            start = end + 1;
            if (name.empty()) continue;
            const std::string& parent = levels_.back().path;
            const int fd =
                ::openat(levels_.back().fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (!Add(fd, parent == "/" ? "/" + name : parent + "/" + name)) return errno;
        }
        return 0;
    }
    const std::vector<Level>& levels() const { return levels_; }

  private:
    bool Add(int fd, std::string path) {
        struct stat info {};
        if (fd < 0) return false;
        if (::fstat(fd, &info) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        levels_.push_back({fd, std::move(path), info.st_dev, info.st_ino});
        return true;
    }

    std::vector<Level> levels_;
};

std::string NewHolder() {
    static std::atomic<unsigned long> count{0};
    const pid_t pid = ::getpid();
    return std::to_string(pid) + "." + std::to_string(ProcessStartTime(pid).value_or(0)) + "." +
           std::to_string(++count);
}

bool HolderAlive(const std::string& holder) {
    int pid = 0;
    unsigned long long start = 0;
    return std::sscanf(holder.c_str(), "%d.%llu.", &pid, &start) == 2 && IsProcessAlive(pid, start);
}

std::vector<Record> ReadRecords(const std::string& file) {
    std::vector<Record> records;
    std::istringstream lines(ReadWholeFile(file).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        Record record;
        std::string holders;
        if (!(fields >> record.device >> record.inode >> record.uid >> record.changes >> holders) ||
            fields.get() != '\t' || !std::getline(fields, record.path) || record.path.empty()) {
            continue;
        }
        std::istringstream names(holders);
        for (std::string holder; std::getline(names, holder, ',');) {
            if (!holder.empty()) record.holders.push_back(holder);
        }
        records.push_back(std::move(record));
    }
    return records;
}

bool WriteRecords(const std::string& file, const std::vector<Record>& records) {
    if (records.empty()) return ::unlink(file.c_str()) == 0 || errno == ENOENT;
    std::string text;
    for (const Record& record : records) {
        std::string holders;
        for (const std::string& holder : record.holders) holders += (holders.empty() ? "" : ",") + holder;
        text += std::to_string(record.device) + "\t" + std::to_string(record.inode) + "\t" +
                std::to_string(record.uid) + "\t" + record.changes + "\t" + holders + "\t" + record.path +
                "\n";
    }
    return WriteFileAtomic(file, text, kRecordMode);
}

// Takes back the change of a record whose folder is still the one changed.
void Undo(const Record& record, bool keepMask) {
    FolderChain chain;
    if (chain.Open(record.path) != 0) return;
    const Level& folder = chain.levels().back();
    if (record.IsFolder(folder.device, folder.inode))
        RemovePassage(folder.fd, record.uid, record.changes, keepMask);
}

// Drops the holders that have ended and takes back the changes no holder needs any more.
void Settle(std::vector<Record>& records) {
    for (Record& record : records)
        std::erase_if(record.holders, [](const auto& h) { return !HolderAlive(h); });
    for (const Record& record : records) {
        if (!record.holders.empty()) continue;
        const bool keepMask = std::any_of(records.begin(), records.end(), [&record](const Record& other) {
            return &other != &record && !other.holders.empty() && other.IsFolder(record.device, record.inode);
        });
        Undo(record, keepMask);
    }
    std::erase_if(records, [](const Record& record) { return record.holders.empty(); });
}

FileLock LockRecords(const std::string& file) {
    return FileLock::Acquire(file + ".lock", FileLock::Mode::Exclusive);
}

}  // namespace

int TraverseGrant::Grant(const std::string& recordFile, const std::string& folder, const Account& account) {
    Release();
    failedFolder_ = folder;
    if (account.uid == 0) {
        failedFolder_.clear();
        return 0;
    }
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) return errno;
    const std::string real = resolved;
    std::free(resolved);
    if (real.find('\n') != std::string::npos) return EINVAL;
    FolderChain chain;
    if (const int code = chain.Open(real); code != 0) return code;
    FileLock lock = LockRecords(recordFile);
    if (!lock.held()) {
        failedFolder_ = recordFile;
        return errno;
    }
    std::vector<Record> records = ReadRecords(recordFile);
    Settle(records);
    const std::string holder = NewHolder();
    // Takes this holder out again, and with it every change that only it needed.
    auto abandon = [&](const std::string& where, int code) {
        failedFolder_ = where;
        for (Record& record : records) std::erase(record.holders, holder);
        Settle(records);
        WriteRecords(recordFile, records);
        return code;
    };
    std::vector<std::pair<const Level*, std::string>> planned;
    const std::vector<Level>& levels = chain.levels();
    for (std::size_t i = 0; i + 1 < levels.size(); ++i) {
        const Level& level = levels[i];
        const std::optional<std::string> changes = PassageChanges(level.fd, account);
        if (!changes) return abandon(level.path, errno);
        auto found = std::find_if(records.begin(), records.end(), [&](const Record& record) {
            return record.uid == account.uid && record.IsFolder(level.device, level.inode);
        });
        if (found != records.end()) found->holders.push_back(holder);
        if (changes->empty()) continue;
        if (found == records.end()) {
            records.push_back({level.device, level.inode, account.uid, *changes, {holder}, level.path});
        } else {
            for (const char change : *changes) {
                if (found->changes.find(change) == std::string::npos) found->changes += change;
            }
        }
        planned.emplace_back(&level, *changes);
    }
    // Recorded before any change is made: a crash in between leaves nothing that is not taken back.
    if (!WriteRecords(recordFile, records)) {
        failedFolder_ = recordFile;
        return errno != 0 ? errno : EIO;
    }
    for (const auto& [level, changes] : planned) {
        if (const int code = AddPassage(level->fd, account.uid, changes); code != 0)
            return abandon(level->path, code);
    }
    recordFile_ = recordFile;
    holder_ = holder;
    failedFolder_.clear();
    return 0;
}

void TraverseGrant::Release() {
    if (holder_.empty()) return;
    FileLock lock = LockRecords(recordFile_);
    if (lock.held()) {
        std::vector<Record> records = ReadRecords(recordFile_);
        for (Record& record : records) std::erase(record.holders, holder_);
        Settle(records);
        WriteRecords(recordFile_, records);
    }
    holder_.clear();
}

void SweepTraverseGrants(const std::string& recordFile) {
    FileLock lock = LockRecords(recordFile);
    if (!lock.held()) return;
    std::vector<Record> records = ReadRecords(recordFile);
    Settle(records);
    WriteRecords(recordFile, records);
}

}  // namespace zov
