#pragma once

#include <optional>
#include <string>

// Where a run writes: the folders it writes into, used only when they are real folders, and the removal of
// what a run that did not end left there.
namespace zov {

// A folder a run writes into, open for the life of the object.
class BackupFolder {
  public:
    // Makes the folder when it is missing (0700, as CFileOperator::CreateFolder makes it) and opens it.
    // nullopt with message set when it cannot be made or opened, or when it is a symbolic link: a link
    // would send the backup outside the storage folder.
    static std::optional<BackupFolder> Open(const std::string& path, std::string& message);

    BackupFolder(BackupFolder&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    BackupFolder& operator=(BackupFolder&&) = delete;
    BackupFolder(const BackupFolder&) = delete;
    BackupFolder& operator=(const BackupFolder&) = delete;
    ~BackupFolder();

    int fd() const { return fd_; }

  private:
    explicit BackupFolder(int fd) : fd_(fd) {}

    int fd_;
};

// Removes from the dated folder what a run of the set itemStamp ("<item>_<stamp>") leaves when it does
// not end (RunOutputOf): its copy set being written when that is a real folder, and its archive files and
// the archiver's temporary files when they are regular files. Links are never followed nor removed, and
// nothing is done in a dated folder that is a link. False with failed = the entries that could not be
// removed.
bool RemoveRunOutput(const std::string& datedFolder, const std::string& itemStamp, std::string& failed);

// text followed by the system's reason for the error number ("（No space left on device）"); text
// alone for 0.
std::string WithSystemReason(const std::string& text, int code);

}  // namespace zov
