#include <sys/stat.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/archive/ZipOperator.h"
#include "engine/archive/ZipOperatorListFile.h"
#include "engine/files/BackupNames.h"
#include "engine/files/CopyOperations.h"
#include "engine/files/ExcludedFolder.h"
#include "engine/files/FileOperator.h"
#include "engine/settings/SystemLog.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov {
namespace {

using AppendPath = std::function<bool(const std::string&)>;

// A deletion marker stands for its file and passes when that file would.
bool PassesFilter(const FilterSet& filter, const std::string& name, const std::string& path) {
    if (!IsDeletionMarker(name)) return FilterEntryPasses(filter, path);
    return FilterEntryPasses(filter, std::string_view(path).substr(0, path.size() - kDeletionMarker.size()));
}

// Folders are entered only when real (a symbolic link to a folder could lead back up the tree), and the
// left-out folder (same device and inode) not at all.
bool WalkChanges(std::string source, std::string base, const FilterSet* filter, const ExcludedFolder* leftOut,
                 const AppendPath& append) {
    NormalizeDir(source);
    NormalizeDir(base);
    for (const std::string& name : ListDirectory(base)) {
        if (!IsDirectory(base + name) && !FileExists(source + name)) {
            CreateMarkerFile(source + name + std::string(kDeletionMarker));
        }
    }
    for (const std::string& name : ListDirectory(source)) {
        if (IsReservedName(name)) continue;
        std::string path = source + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            if (leftOut != nullptr && leftOut->Is(info)) continue;
            if (!WalkChanges(path, base + name, filter, leftOut, append)) return false;
            continue;
        }
        if (IsSameFile(path, base + name)) continue;
        if (filter != nullptr && !PassesFilter(*filter, name, path)) continue;
        if (!append(path)) return false;
    }
    return true;
}

AppendPath AppendTo(const std::string& listFile) {
    return [&listFile](const std::string& path) { return AppendLine(path, listFile); };
}

// Removes the deletion markers of the source when a change compression ends.
class MarkerCleanup {
  public:
    explicit MarkerCleanup(std::string source) : source_(std::move(source)) {}
    MarkerCleanup(const MarkerCleanup&) = delete;
    MarkerCleanup& operator=(const MarkerCleanup&) = delete;
    ~MarkerCleanup() { CFileOperator().DeleteMarkedFiles(source_, false); }

  private:
    std::string source_;
};

}  // namespace

bool WriteChangeList(const std::string& source, const std::string& base, const std::string& listFile) {
    return WalkChanges(source, base, nullptr, nullptr, AppendTo(listFile));
}

bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& listFile) {
    return WalkChanges(source, base, &filter, nullptr, AppendTo(listFile));
}

bool CZipOperator::CompressChanges(const std::string& source, const std::string& storageFolder,
                                   const std::string& base, const std::string& password,
                                   const std::string& archiveName, int volumeMb) {
    return CompressChangesWith(ChangeMode::Plain, source, storageFolder, base, password, archiveName, {},
                               volumeMb);
}

bool CZipOperator::CompressChangesFiltered(const std::string& source, const std::string& storageFolder,
                                           const std::string& base, const std::string& password,
                                           const std::string& archiveName, FilterSet filter, int volumeMb) {
    return CompressChangesWith(ChangeMode::Filtered, source, storageFolder, base, password, archiveName,
                               filter, volumeMb);
}

bool CZipOperator::CompressChangesWith(ChangeMode mode, const std::string& source,
                                       const std::string& storageFolder, const std::string& base,
                                       const std::string& password, const std::string& archiveName,
                                       const FilterSet& filter, int volumeMb) {
    if (source.empty() || storageFolder.empty() || base.empty() || archiveName.empty()) {
        return Fail("使用winrar压缩时，传入了非法参数。");
    }
    if (!CheckFolderJob(source, storageFolder, mode == ChangeMode::Filtered ? 6 : 5)) return false;

    DriverListFile list;
    if (!list.Create()) return Fail("压缩文件夹时，生成列表文件失败");
    MarkerCleanup cleanup(source);
    const std::optional<ExcludedFolder> leftOut = ExcludedFolderInside(source, excludedFolder_);
    const AppendPath append = [&list](const std::string& path) { return list.Append(path); };
    const FilterSet* walkFilter = mode == ChangeMode::Filtered ? &filter : nullptr;
    if (!WalkChanges(source, base, walkFilter, leftOut ? &*leftOut : nullptr, append)) {
        return Fail("压缩文件夹时，生成列表文件失败");
    }

    std::string archive = ArchivePath(storageFolder, archiveName);
    if (list.empty()) return Fail("压缩成功，但是压缩文件" + archive + "未创建（无差异文件）。");

    // a -r [-v] -n@list -o+ -m1 (with a password -m1 -o+) -y -ep1 -inul -- archive source
    std::vector<std::string> args{"a", "-r"};
    if (volumeMb > 0) args.push_back("-v" + std::to_string(volumeMb) + "m");
    args.push_back("-n@" + list.path());
    if (password.empty()) {
        args.insert(args.end(), {"-o+", "-m1"});
    } else {
        args.insert(args.end(), {"-m1", "-o+"});
    }
    args.insert(args.end(), {"-y", "-ep1", "-inul", "--", archive, CleanPath(source)});
    return RunRar(args, password) && CheckArchiveWritten(archive);
}

bool CZipOperator::CompressSubfolderChanges(const std::string& source, const std::string& storageFolder,
                                            const std::string& base, const std::string& password,
                                            int volumeMb) {
    if (base.empty()) return false;
    return ForEachSubfolder(
        source, storageFolder, 7,
        [&](const std::string& path, const std::string& name, const std::string& archiveName) {
            return CompressChanges(path, storageFolder, JoinPath(base, name), password, archiveName,
                                   volumeMb);
        });
}

bool CZipOperator::CompressSubfolderChangesFiltered(const std::string& source,
                                                    const std::string& storageFolder, const std::string& base,
                                                    const std::string& password, FilterSet filter,
                                                    int volumeMb) {
    if (base.empty()) return false;
    return ForEachSubfolder(
        source, storageFolder, 8,
        [&](const std::string& path, const std::string& name, const std::string& archiveName) {
            return CompressChangesFiltered(path, storageFolder, JoinPath(base, name), password, archiveName,
                                           filter, volumeMb);
        });
}

}  // namespace zov
