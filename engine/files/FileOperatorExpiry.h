#pragma once

#include <sys/types.h>
#include <time.h>

#include <string>
#include <string_view>
#include <vector>

namespace zov {
class FolderHandle;
}

// Expiry of backup sets older than a task's keep days: CFileOperator::DeleteExpiredSets and
// CFileOperator::DeleteExpiredDiffSets.
namespace zov::fileops {

// What expiry passes over one storage folder looked at, so that a later pass can tell that it would find
// nothing to delete: the folders they listed (each taken before its listing), the cutoff day, and the
// earliest stamp that the cutoff has not passed yet. A folder changed within the last second, or a deletion
// that failed, leaves the watch unsettled: the next pass runs whatever it finds.
class ExpiryWatch {
  public:
    void Clear();
    // Whether a pass with keepDays now would delete nothing and see what the watched passes saw.
    bool Holds(int keepDays) const;

    // Called by the passes.
    void Listed(const FolderHandle& folder, const std::string& path);
    void NotAFolder(const std::string& path);
    void CutoffDay(const std::string& day);
    void Pending(std::string_view stamp);
    void Unsettle() { settled_ = false; }

  private:
    struct Seen {
        std::string path;
        bool folder = false;
        dev_t device = 0;
        ino_t inode = 0;
        timespec modified{};
        timespec changed{};
    };

    std::vector<Seen> seen_;
    std::string day_;
    std::string pending_;  // the smallest stamp not yet before the cutoff; "" for none
    bool settled_ = true;
};

void DeleteExpiredSets(const std::string& storage, int keepDays, ExpiryWatch* watch = nullptr);
void DeleteExpiredDiffSets(const std::string& folder, int keepDays, const std::string& diffFolder,
                           ExpiryWatch* watch = nullptr);

}  // namespace zov::fileops
