#include "engine/archive/ZipOperatorLookup.h"

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "engine/util/CommonPaths.h"
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

std::string ArchivePath(std::string storageFolder, const std::string& archiveName) {
    NormalizeDir(storageFolder);
    std::string path = storageFolder + archiveName;
    if (!archiveName.ends_with(kArchiveExtension)) path += kArchiveExtension;
    return path;
}

}  // namespace zov
