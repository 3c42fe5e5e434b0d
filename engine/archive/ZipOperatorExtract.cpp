#include "engine/archive/ZipOperatorExtract.h"

#include <errno.h>

#include <string>
#include <vector>

#include "engine/archive/ZipOperatorCompress.h"
#include "engine/files/FileOperator.h"
#include "engine/util/CommonPaths.h"

namespace zov {
namespace {

// destination + sub-folder, each with a trailing '/'.
std::string ExtractTarget(std::string destination, const std::string& subfolder) {
    NormalizeDir(destination);
    if (subfolder.empty()) return destination;
    std::string target = destination + subfolder;
    NormalizeDir(target);
    return target;
}

}  // namespace

int ArchiveExtraction::ExtractFile(const std::string& archive, const std::string& destination,
                                   const std::string& password, const std::string& subfolder) {
    if (archive.empty() || destination.empty()) {
        Fail("无效的参数");
        return -1;
    }
    // x -y -o+ -- archive destination
    std::vector<std::string> args{"x", "-y", "-o+", "--", archive, ExtractTarget(destination, subfolder)};
    return RunRarCode(args, password);
}

int ArchiveExtraction::ExtractFolder(const std::string& archive, const std::string& destination,
                                     const std::string& password, FilterSet filter,
                                     const std::string& subfolder) {
    if (archive.empty() || destination.empty()) {
        Fail("无效的参数");
        return -1;
    }
    if (!FileExists(rarPath_)) {
        Fail("选择了使用winrar解压，但是未指定winrar路径");
        return -1;
    }
    if (!FileExists(archive)) {
        Fail("解压缩文件夹时，源目录" + archive + "不存在");
        return -1;
    }
    std::string target = ExtractTarget(destination, subfolder);
    if (CFileOperator().CreateFolder(target) <= 0) {
        int error = errno;
        Fail("解压缩文件夹时，存储目录" + target + "无效，错误号（" + std::to_string(error) + "）");
        return -1;
    }
    // x -y [masks] -o+ -- archive destination
    std::vector<std::string> args{"x", "-y"};
    std::vector<std::string> masks = MaskSwitches(filter.exclude, filter.extensions);
    args.insert(args.end(), masks.begin(), masks.end());
    args.insert(args.end(), {"-o+", "--", archive, target});
    return RunRarCode(args, password);
}

bool ArchiveExtraction::TestArchive(const std::string& archive, bool exclude, std::vector<std::string> masks,
                                    const std::string& logFile) {
    // t -logf=<log> [masks] -- archive
    std::vector<std::string> args{"t", "-logf=" + logFile};
    std::vector<std::string> switches = MaskSwitches(exclude, masks);
    args.insert(args.end(), switches.begin(), switches.end());
    args.insert(args.end(), {"--", archive});
    return RunRar(args);
}

}  // namespace zov
