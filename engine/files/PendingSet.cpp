#include "engine/files/PendingSet.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>
#include <vector>

#include "engine/files/BackupNames.h"
#include "engine/util/CommonText.h"
#include "platform/Clock.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

// The stamp seconds later than stamp; "" when stamp is no time.
std::string LaterStamp(const std::string& stamp, int seconds) {
    if (seconds == 0) return stamp;
    if (!IsStampText(stamp)) return "";
    const auto part = [&](std::size_t at, std::size_t length) { return std::stoi(stamp.substr(at, length)); };
    const std::time_t time =
        MakeLocalTime(part(0, 4), part(4, 2), part(6, 2), part(8, 2), part(10, 2), part(12, 2) + seconds);
    return time == -1 ? "" : FormatLocalTime(time, kStampFormat);
}

int RenameNoReplace(int fromFolder, const std::string& from, int toFolder, const std::string& to) {
    return ::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
}

}  // namespace

PendingSet::PendingSet(const FolderHandle& folder, std::string folderPath, std::string prefix,
                       std::string stamp, int taskId)
    : folder_(folder),
      folderPath_(WithTrailingSlash(folderPath)),
      prefix_(std::move(prefix)),
      stamp_(std::move(stamp)),
      workName_(PartialSetName(stamp_, taskId)) {}

int PendingSet::Discard() {
    if (!made_) return 0;
    made_ = false;
    return folder_.Remove(workName_);
}

std::string PendingSet::path() const { return folderPath_ + workName_ + "/"; }

bool PendingSet::Make(std::string& message) {
    if (folder_.Kind(workName_) != EntryKind::Missing) folder_.Remove(workName_);
    made_ = ::mkdirat(folder_.fd(), workName_.c_str(), 0700) == 0;
    int code = made_ ? 0 : errno;
    if (made_) {
        // 0700 whatever the umask.
        const FolderHandle work = folder_.Child(workName_);
        if (!work.IsOpen() || ::fchmod(work.fd(), 0700) != 0) code = errno;
    }
    if (code == 0) return true;
    message = WithSystemReason("备份时，无法创建临时目录" + path(), code);
    return false;
}

bool PendingSet::ArchiveSuffixes(std::vector<std::string>& suffixes) const {
    const auto names = folder_.Child(workName_).List();
    if (!names) return false;
    for (const std::string& name : *names) {
        const std::string_view suffix = ArchiveSuffixOfSet(name, title());
        if (!suffix.empty()) suffixes.emplace_back(suffix);
    }
    return true;
}

bool PendingSet::IsTaken(const std::string& title) const {
    for (const std::string& name : folder_.Entries()) {
        if (BackupTitle(name, folder_.Kind(name) == EntryKind::Folder) == title) return true;
    }
    return false;
}

int PendingSet::MoveTo(const std::string& title, bool copySet, const std::vector<std::string>& suffixes) {
    if (copySet) return RenameNoReplace(folder_.fd(), workName_, folder_.fd(), title);
    const FolderHandle work = folder_.Child(workName_);
    if (!work.IsOpen()) return errno;
    for (std::size_t i = 0; i < suffixes.size(); ++i) {
        const int code =
            RenameNoReplace(work.fd(), this->title() + suffixes[i], folder_.fd(), title + suffixes[i]);
        if (code == 0) continue;
        while (i-- > 0)
            RenameNoReplace(folder_.fd(), title + suffixes[i], work.fd(), this->title() + suffixes[i]);
        return code;
    }
    return 0;
}

std::string PendingSet::Commit(bool copySet, std::string& message) {
    if (copySet && folder_.Kind(workName_) == EntryKind::Missing) {
        made_ = false;
        return title();
    }
    std::vector<std::string> suffixes;
    if (!copySet && (!ArchiveSuffixes(suffixes) || suffixes.empty())) {
        message = "备份时，临时目录" + path() + "中没有压缩文件";
        return "";
    }
    // Runs that commit into one folder take turns, so that no two take one title in different forms; a
    // writer that does not take part is still never replaced.
    const FileLock turn = FileLock::AcquireFolder(CleanPath(folderPath_), FileLock::Mode::Exclusive);
    std::string given;
    for (int later = 0; later < kCommitStampTries && given.empty(); ++later) {
        const std::string stamp = LaterStamp(stamp_, later);
        if (stamp.empty()) break;
        const std::string candidate = prefix_ + stamp;
        if (IsTaken(candidate)) continue;
        const int code = MoveTo(candidate, copySet, suffixes);
        if (code == EEXIST) continue;
        if (code != 0) {
            message = WithSystemReason("备份时，无法将" + path() + "中的备份改名为" + folderPath_ + candidate,
                                       code);
            return "";
        }
        given = candidate;
    }
    if (given.empty()) {
        message = "备份时，" + folderPath_ + "中的备份名" + title() + "及其后" +
                  std::to_string(kCommitStampTries) + "秒内的备份名均已被占用";
        return "";
    }
    if (!copySet) folder_.Remove(workName_);
    made_ = false;
    if (::fsync(folder_.fd()) == 0) return given;
    message = WithSystemReason("备份时，写入磁盘失败", errno);
    if (copySet) {
        folder_.Remove(given);
    } else {
        for (const std::string& suffix : suffixes) folder_.Remove(given + suffix);
    }
    return "";
}

}  // namespace zov
