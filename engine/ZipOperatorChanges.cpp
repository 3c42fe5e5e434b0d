#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/BackupNames.h"
#include "engine/CommonFiles.h"
#include "engine/CommonPaths.h"
#include "engine/CommonRandom.h"
#include "engine/CopyOperations.h"
#include "engine/FileOperator.h"
#include "engine/SystemLog.h"
#include "engine/ZipOperator.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {
namespace {

constexpr std::size_t kListTokenLength = 5;

// A real sub-folder; a symbolic link to a folder is not followed (it could lead back up the tree).
bool IsRealFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A deletion marker stands for its file and passes when that file would.
bool PassesFilter(const FilterSet& filter, const std::string& name, const std::string& path) {
    if (!IsDeletionMarker(name)) return FilterEntryPasses(filter, path);
    return FilterEntryPasses(filter, std::string_view(path).substr(0, path.size() - kDeletionMarker.size()));
}

bool WalkChanges(std::string source, std::string base, const FilterSet* filter, const std::string& listFile) {
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
        if (IsRealFolder(path)) {
            if (!WalkChanges(path, base + name, filter, listFile)) return false;
            continue;
        }
        if (IsSameFile(path, base + name)) continue;
        if (filter != nullptr && !PassesFilter(*filter, name, path)) continue;
        if (!AppendLine(path, listFile)) return false;
    }
    return true;
}

// Creates an empty list file only the owner can read; "" when that fails.
std::string CreateListFile() {
    std::string token = MakeRandomToken(kListTokenLength);
    if (token.size() != kListTokenLength) return "";
    std::string path = ProgramDir() + "qel_temp_" + token + ".ls";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return "";
    close(fd);
    return path;
}

bool IsEmptyFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && info.st_size == 0;
}

// Deletes the list file and the deletion markers of the source when a change compression ends.
class ChangeRunCleanup {
  public:
    ChangeRunCleanup(std::string listFile, std::string source)
        : listFile_(std::move(listFile)), source_(std::move(source)) {}
    ChangeRunCleanup(const ChangeRunCleanup&) = delete;
    ChangeRunCleanup& operator=(const ChangeRunCleanup&) = delete;
    ~ChangeRunCleanup() {
        CFileOperator files;
        files.DeletePath(listFile_, false);
        files.DeleteMarkedFiles(source_, false);
    }

  private:
    std::string listFile_;
    std::string source_;
};

}  // namespace

bool WriteChangeList(const std::string& source, const std::string& base, const std::string& listFile) {
    return WalkChanges(source, base, nullptr, listFile);
}

bool WriteChangeListFiltered(const std::string& source, const std::string& base, const FilterSet& filter,
                             const std::string& listFile) {
    return WalkChanges(source, base, &filter, listFile);
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

    std::string listFile = CreateListFile();
    if (listFile.empty()) return Fail("压缩文件夹时，生成列表文件失败");
    ChangeRunCleanup cleanup(listFile, source);
    bool listed = mode == ChangeMode::Filtered ? WriteChangeListFiltered(source, base, filter, listFile)
                                               : WriteChangeList(source, base, listFile);
    if (!listed) return Fail("压缩文件夹时，生成列表文件失败");

    std::string archive = ArchivePath(storageFolder, archiveName);
    if (IsEmptyFile(listFile)) return Fail("压缩成功，但是压缩文件" + archive + "未创建（无差异文件）。");

    // a -r [-p] [-v] -n@list -m1 -o+ (with a password; else -o+ -m1) -y -ep1 -inul archive source
    std::vector<std::string> args{"a", "-r"};
    if (!password.empty()) args.push_back("-p" + password);
    if (volumeMb > 0) args.push_back("-v" + std::to_string(volumeMb) + "m");
    args.push_back("-n@" + listFile);
    if (password.empty()) {
        args.insert(args.end(), {"-o+", "-m1"});
    } else {
        args.insert(args.end(), {"-m1", "-o+"});
    }
    args.insert(args.end(), {"-y", "-ep1", "-inul", archive, CleanPath(source)});
    return RunRar(args) && CheckArchiveWritten(archive);
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
