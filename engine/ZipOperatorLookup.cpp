#include <string>

#include "engine/CommonPaths.h"
#include "engine/IniFile.h"
#include "engine/ProgramFiles.h"
#include "engine/ZipOperator.h"
#include "platform/Paths.h"
#include "platform/ProgramDir.h"

namespace zov {

std::string GetRarPath() {
    if (FileExists(TempIniPath())) {
        std::string configured = IniFile(TempIniPath()).Read("rar_path", "SYSTEM");
        if (IsRegularFile(configured)) return configured;
    }
    std::string bundled = ProgramDir() + "rar";
    return IsRegularFile(bundled) ? bundled : "";
}

std::string FindVolumeName(const std::string& archiveBase) {
    for (const char* suffix : {".rar", ".part1.rar", ".part01.rar", ".part001.rar", ".part0001.rar"}) {
        if (FileExists(archiveBase + suffix)) return archiveBase + suffix;
    }
    return archiveBase + ".rar";
}

std::string CZipOperator::ArchivePath(std::string storageFolder, const std::string& archiveName) {
    NormalizeDir(storageFolder);
    std::string path = storageFolder + archiveName;
    if (!archiveName.ends_with(".rar")) path += ".rar";
    return path;
}

}  // namespace zov
