#include "engine/archive/ZipOperatorChanges.h"

#include <optional>
#include <string>
#include <vector>

#include "engine/archive/ZipOperatorChangeList.h"
#include "engine/archive/ZipOperatorListFile.h"
#include "engine/archive/ZipOperatorLookup.h"
#include "engine/files/CacheFolder.h"
#include "engine/files/ExcludedFolder.h"
#include "engine/util/CommonFiles.h"
#include "engine/util/CommonPaths.h"
#include "platform/Paths.h"

namespace zov {
bool ChangeCompression::CompressChanges(const std::string& source, const std::string& storageFolder,
                                        const std::string& base, const std::string& password,
                                        const std::string& archiveName, int volumeMb) {
    return CompressChangesWith(ChangeMode::Plain, source, storageFolder, base, password, archiveName, {},
                               volumeMb);
}

bool ChangeCompression::CompressChangesFiltered(const std::string& source, const std::string& storageFolder,
                                                const std::string& base, const std::string& password,
                                                const std::string& archiveName, FilterSet filter,
                                                int volumeMb) {
    return CompressChangesWith(ChangeMode::Filtered, source, storageFolder, base, password, archiveName,
                               filter, volumeMb);
}

bool ChangeCompression::CompressChangesWith(ChangeMode mode, const std::string& source,
                                            const std::string& storageFolder, const std::string& base,
                                            const std::string& password, const std::string& archiveName,
                                            const FilterSet& filter, int volumeMb) {
    if (source.empty() || storageFolder.empty() || base.empty() || archiveName.empty()) {
        return Fail("使用winrar压缩时，传入了非法参数。");
    }
    const int number = mode == ChangeMode::Filtered ? kCompressChangesFilteredNumber : kCompressChangesNumber;
    if (!CheckFolderJob(source, storageFolder, number)) return false;

    DriverListFile list;
    if (!list.Create()) return Fail("压缩文件夹时，生成列表文件失败");
    // The deletion markers are made in a private folder and stored beside the changes, never in the
    // source (it may be read-only, as a snapshot is).
    CacheWorkFolder markers;
    if (markers.path().empty()) return Fail("压缩文件夹时，无法在缓存目录中创建临时目录");
    const std::optional<ExcludedFolder> leftOut = ExcludedFolderInside(source, excludedFolder_);
    const AppendPath append = [&list](const std::string& path) { return list.Append(path); };
    const FilterSet* walkFilter = mode == ChangeMode::Filtered ? &filter : nullptr;
    std::string failure;
    if (!WalkChanges(source, base, markers.path(), walkFilter, leftOut ? &*leftOut : nullptr, append,
                     failure)) {
        return Fail(failure);
    }

    const std::string shown = ArchivePath(storageFolder, archiveName);
    const std::string archive = OutputPath(storageFolder, archiveName);
    if (list.empty()) return Fail("压缩成功，但是压缩文件" + shown + "未创建（无差异文件）。");

    // a -r [-v] -n@list -o+ -m1 (with a password -m1 -o+) -y -ep1 -inul [-ap<name>] -- archive source
    // [markers]: the markers go under the source's own name.
    std::vector<std::string> args{"a", "-r"};
    if (volumeMb > 0) args.push_back("-v" + std::to_string(volumeMb) + "m");
    args.push_back("-n@" + list.path());
    if (password.empty()) {
        args.insert(args.end(), {"-o+", "-m1"});
    } else {
        args.insert(args.end(), {"-m1", "-o+"});
    }
    args.insert(args.end(), {"-y", "-ep1", "-inul"});
    const bool marked = !IsFolderEmpty(markers.path());
    if (marked) args.push_back("-ap" + WithTrailingSlash(LastPathLevel(source)));
    args.insert(args.end(), {"--", archive, CleanPath(source)});
    if (marked) args.push_back(CleanPath(markers.path()));
    return RunRar(args, password) && CheckArchiveWritten(archive, shown);
}

bool ChangeCompression::CompressSubfolderChanges(const std::string& source, const std::string& storageFolder,
                                                 const std::string& base, const std::string& password,
                                                 int volumeMb) {
    if (base.empty()) return false;
    return ForEachSubfolder(
        source, storageFolder, kCompressSubfolderChangesNumber,
        [&](const std::string& path, const std::string& name, const std::string& archiveName) {
            return CompressChanges(path, storageFolder, JoinPath(base, name), password, archiveName,
                                   volumeMb);
        });
}

bool ChangeCompression::CompressSubfolderChangesFiltered(const std::string& source,
                                                         const std::string& storageFolder,
                                                         const std::string& base, const std::string& password,
                                                         FilterSet filter, int volumeMb) {
    if (base.empty()) return false;
    return ForEachSubfolder(
        source, storageFolder, kCompressSubfolderChangesFilteredNumber,
        [&](const std::string& path, const std::string& name, const std::string& archiveName) {
            return CompressChangesFiltered(path, storageFolder, JoinPath(base, name), password, archiveName,
                                           filter, volumeMb);
        });
}

}  // namespace zov
