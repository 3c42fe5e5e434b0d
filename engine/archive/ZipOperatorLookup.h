#pragma once

#include <string>
#include <string_view>

// Finding the archiver and naming the archives it writes.
namespace zov {

// The archiver to run: temp.ini [SYSTEM] "rar_path" when it names an existing file, else the program
// folder's "rar" when it exists, else "".
std::string GetRarPath();

// The extension of an archive (and of each volume of a volume set).
inline constexpr std::string_view kArchiveExtension = ".rar";

// storageFolder + archiveName, with ".rar" appended when the name lacks it.
std::string ArchivePath(std::string storageFolder, const std::string& archiveName);

}  // namespace zov
