#include "engine/archive/ZipOperatorChangeList.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "engine/files/BackupNames.h"
#include "engine/files/CopyOperations.h"
#include "engine/files/DeletionMarker.h"
#include "engine/files/FileOperator.h"
#include "engine/filter/CommonFilter.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov {
namespace {

constexpr const char* kNotListedText = "压缩文件夹时，生成列表文件失败";

AppendPath AppendTo(const std::string& listFile) {
    return [&listFile](const std::string& path) { return AppendLine(path, listFile); };
}

// One folder level of a change walk: the same relative folder below the source, its base and the markers.
struct WalkLevel {
    std::string source;
    std::string base;
    std::string markers;
};

class ChangeWalk {
  public:
    ChangeWalk(const FilterSet* filter, const ExcludedFolder* leftOut, const AppendPath& append,
               std::string& failure)
        : filter_(filter), leftOut_(leftOut), append_(append), failure_(failure) {}

    // Folders are entered only when real (a symbolic link to a folder could lead back up the tree), and
    // the left-out folder (same device and inode) not at all.
    bool Walk(const WalkLevel& level) {
        for (const std::string& name : ListDirectory(level.base)) {
            if (!IsDeletionMarker(name) && IsDeletedSinceBase(level.base + name, level.source + name) &&
                !Mark(level, name)) {
                return false;
            }
        }
        for (const std::string& name : ListDirectory(level.source)) {
            if (IsReservedName(name) || IsDeletionMarker(name)) continue;
            const std::string path = level.source + name;
            struct stat info {};
            if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                if (leftOut_ != nullptr && leftOut_->Is(info)) continue;
                // A folder new since the base is stored itself, so that it comes back also when empty.
                if (!IsRealFolder(level.base + name) && Passes(path) && !Append(path)) return false;
                if (!Walk({path + "/", level.base + name + "/", level.markers + name + "/"})) return false;
                continue;
            }
            if (!IsSameFile(path, level.base + name) && Passes(path) && !Append(path)) return false;
        }
        return true;
    }

    // A source that is one file, against the file of its name in base.
    bool WalkFile(const std::string& source, const std::string& base) {
        if (IsSameFile(source, JoinPath(base, LastPathLevel(source))) || !Passes(source)) return true;
        return Append(source);
    }

  private:
    bool Passes(std::string_view path) const {
        return filter_ == nullptr || FilterEntryPasses(*filter_, path);
    }

    bool Append(const std::string& path) {
        if (append_(path)) return true;
        failure_ = kNotListedText;
        return false;
    }

    // Records that name of the base is gone: a folder's marker is always listed, a file's when the file
    // would pass the filter.
    bool Mark(const WalkLevel& level, const std::string& name) {
        const std::string gone = level.source + name;
        const int code = CFileOperator().CreateFolder(level.markers) == 1
                             ? WriteDeletionMarker(level.markers, name)
                             : errno;
        if (code != 0) {
            failure_ = DeletionNotRecordedText(gone, code);
            return false;
        }
        const std::string marker = level.markers + DeletionMarkerOf(name);
        return (IsRealFolder(level.base + name) || Passes(gone)) ? Append(marker) : true;
    }

    const FilterSet* filter_;
    const ExcludedFolder* leftOut_;
    const AppendPath& append_;
    std::string& failure_;
};

}  // namespace

bool WalkChanges(const std::string& source, const std::string& base, const std::string& markers,
                 const FilterSet* filter, const ExcludedFolder* leftOut, const AppendPath& append,
                 std::string& failure) {
    ChangeWalk walk(filter, leftOut, append, failure);
    if (!IsDirectory(source)) return walk.WalkFile(CleanPath(source), base);
    return walk.Walk({WithTrailingSlash(CleanPath(source)), WithTrailingSlash(CleanPath(base)),
                      WithTrailingSlash(CleanPath(markers))});
}

bool WriteChangeList(const std::string& source, const std::string& base, const std::string& markers,
                     const std::string& listFile) {
    std::string failure;
    return WalkChanges(source, base, markers, nullptr, nullptr, AppendTo(listFile), failure);
}

bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& markers, const std::string& listFile) {
    std::string failure;
    return WalkChanges(source, base, markers, &filter, nullptr, AppendTo(listFile), failure);
}

}  // namespace zov
