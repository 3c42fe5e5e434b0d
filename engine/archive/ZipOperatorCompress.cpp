#include "engine/archive/ZipOperatorCompress.h"

#include <errno.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "engine/archive/ZipOperatorListFile.h"
#include "engine/archive/ZipOperatorLookup.h"
#include "engine/files/BackupNames.h"
#include "engine/files/ExcludedFolder.h"
#include "engine/files/FileOperator.h"
#include "engine/filter/FilterRule.h"
#include "engine/util/CommonPaths.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

namespace zov {
namespace {

using namespace std::chrono_literals;

// A failed run leaves the caller a moment before it tries again.
constexpr std::chrono::milliseconds kAfterFolderPause = 500ms;

// a -r [-v] [masks] -o+ -m1 -y -ep1 -inul, then the caller's switches, "--", the archive and the source.
std::vector<std::string> FolderSwitches(int volumeMb, const std::vector<std::string>& maskSwitches) {
    std::vector<std::string> args{"a", "-r"};
    if (volumeMb > 0) args.push_back("-v" + std::to_string(volumeMb) + "m");
    args.insert(args.end(), maskSwitches.begin(), maskSwitches.end());
    args.insert(args.end(), {"-o+", "-m1", "-y", "-ep1", "-inul"});
    return args;
}

}  // namespace

std::vector<std::string> MaskSwitches(bool exclude, const std::vector<std::string>& masks) {
    std::vector<std::string> switches;
    for (const std::string& mask : masks) {
        for (std::string_view pattern : ItemPatterns(mask)) {
            switches.push_back((exclude ? "-x" : "-n") + std::string(pattern));
        }
    }
    return switches;
}

bool ArchiveCompression::LeaveOutExcludedFolder(const std::string& source, DriverListFile& list,
                                                std::vector<std::string>& arguments) {
    const std::optional<ExcludedFolder> folder = ExcludedFolderInside(source, excludedFolder_);
    if (!folder) return true;
    if (!list.Create() || !list.Append(folder->path)) return Fail("压缩文件夹时，生成列表文件失败");
    arguments.push_back("-x@" + list.path());
    return true;
}

std::string ArchiveCompression::OutputPath(const std::string& storageFolder,
                                           const std::string& archiveName) const {
    return ArchivePath(outputFolder_.empty() ? storageFolder : outputFolder_, archiveName);
}

bool ArchiveCompression::CheckArchiveWritten(const std::string& written, const std::string& shownPath) {
    std::string base = written.substr(0, written.size() - kArchiveExtension.size());
    if (FileExists(FindVolumeName(base))) return true;
    return Fail("压缩成功，但是压缩文件" + shownPath + "未创建（压缩项为空）。");
}

bool ArchiveCompression::CheckFolderJob(const std::string& source, const std::string& storageFolder,
                                        int number) {
    if (!FileExists(rarPath_)) return Fail("选择了使用winrar压缩，但是未指定winrar路径");
    if (!FileExists(source)) {
        return Fail("压缩文件夹时" + std::to_string(number) + "，源目录" + source + "不存在");
    }
    if (CFileOperator().CreateFolder(storageFolder) <= 0) {
        int error = errno;
        return Fail("压缩文件夹时，存储目录" + storageFolder + "无效，错误号（" + std::to_string(error) +
                    "）");
    }
    return true;
}

bool ArchiveCompression::CompressFile(const std::string& item, const std::string& storageFolder,
                                      const std::string& password, const std::string& archiveName,
                                      int volumeMb) {
    if (item.empty() || storageFolder.empty() || archiveName.empty()) return Fail("无效的参数");
    const std::string archive = OutputPath(storageFolder, archiveName);
    // a -r [-v] -y -o+ -m1 -ep1 -inul -- archive item
    std::vector<std::string> args{"a", "-r"};
    if (volumeMb > 0) args.push_back("-v" + std::to_string(volumeMb) + "m");
    args.insert(args.end(), {"-y", "-o+", "-m1", "-ep1", "-inul", "--", archive, item});
    return RunRar(args, password) && CheckArchiveWritten(archive, ArchivePath(storageFolder, archiveName));
}

bool ArchiveCompression::CompressFolder(const std::string& source, const std::string& storageFolder,
                                        const std::string& password, const std::string& archiveName,
                                        int volumeMb) {
    if (CompressFolderWith(source, storageFolder, password, archiveName, {}, kCompressFolderNumber, volumeMb))
        return true;
    SleepFor(kAfterFolderPause);
    return false;
}

bool ArchiveCompression::CompressFolderFiltered(const std::string& source, const std::string& storageFolder,
                                                const std::string& password, const std::string& archiveName,
                                                bool exclude, std::vector<std::string> masks, int volumeMb) {
    return CompressFolderWith(source, storageFolder, password, archiveName, MaskSwitches(exclude, masks),
                              kCompressFolderFilteredNumber, volumeMb);
}

bool ArchiveCompression::CompressFolderWith(const std::string& source, const std::string& storageFolder,
                                            const std::string& password, const std::string& archiveName,
                                            const std::vector<std::string>& maskSwitches, int number,
                                            int volumeMb) {
    if (source.empty() || storageFolder.empty() || archiveName.empty()) {
        return Fail("使用winrar压缩时，传入了非法参数。");
    }
    if (!CheckFolderJob(source, storageFolder, number)) return false;
    const std::string archive = OutputPath(storageFolder, archiveName);
    std::vector<std::string> args = FolderSwitches(volumeMb, maskSwitches);
    DriverListFile leftOut;
    if (!LeaveOutExcludedFolder(source, leftOut, args)) return false;
    args.insert(args.end(), {"--", archive, CleanPath(source)});
    return RunRar(args, password) && CheckArchiveWritten(archive, ArchivePath(storageFolder, archiveName));
}

bool ArchiveCompression::ForEachSubfolder(const std::string& source, const std::string& storageFolder,
                                          int number, const SubfolderJob& job) {
    if (source.empty() || storageFolder.empty() || !CheckFolderJob(source, storageFolder, number))
        return false;
    const std::optional<ExcludedFolder> excluded = ExcludedFolderInside(source, excludedFolder_);
    bool done = false;
    for (const std::string& name : ListDirectory(source)) {
        std::string path = JoinPath(source, name);
        if (!IsDirectory(path)) continue;
        struct stat info {};
        if (excluded && ::stat(path.c_str(), &info) == 0 && excluded->Is(info)) continue;
        std::string stamp = FormatLocalTime(Now(), kStampFormat);
        if (stamp.empty()) return false;
        done = job(WithTrailingSlash(path), name, name + "_" + stamp + ".rar");
        if (!done) break;
    }
    return done;
}

bool ArchiveCompression::CompressSubfolders(const std::string& source, const std::string& storageFolder,
                                            const std::string& password, int volumeMb) {
    return ForEachSubfolder(source, storageFolder, kCompressSubfoldersNumber,
                            [&](const std::string& path, const std::string&, const std::string& archiveName) {
                                return CompressFolder(path, storageFolder, password, archiveName, volumeMb);
                            });
}

bool ArchiveCompression::CompressSubfoldersFiltered(const std::string& source,
                                                    const std::string& storageFolder,
                                                    const std::string& password, bool exclude,
                                                    std::vector<std::string> masks, int volumeMb) {
    return ForEachSubfolder(source, storageFolder, kCompressSubfoldersFilteredNumber,
                            [&](const std::string& path, const std::string&, const std::string& archiveName) {
                                return CompressFolderFiltered(path, storageFolder, password, archiveName,
                                                              exclude, masks, volumeMb);
                            });
}

}  // namespace zov
