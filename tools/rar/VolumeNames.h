#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zov::rar {

// Name of a one-file archive: the given name, with ".rar" added when its last component has no extension.
std::string SingleArchiveName(const std::string& archive);

// The name that volume numbers are added to: the archive name without a final ".rar".
std::string VolumeBase(const std::string& archive);

// base + ".part" + index padded to width digits + ".rar".
std::string VolumeName(const std::string& base, std::uint64_t index, int width);

// Digits needed to write count (at least 1).
int VolumeNumberWidth(std::uint64_t count);

// True when name (a file name without folder) is base's name + ".part<digits>.rar"; index gets the number.
bool IsVolumeOf(const std::string& baseName, const std::string& name, std::uint64_t* index = nullptr,
                std::size_t* width = nullptr);

struct Volume {
    std::string path;
    std::uint64_t size = 0;
};

struct VolumeSet {
    std::vector<Volume> volumes;
    bool split = false;  // named "<base>.partN.rar"
};

// The files to read for an archive named on the command line: the whole volume set when the name is one of
// its volumes, else the file itself. False with a message when a file is missing or unreadable.
bool FindVolumes(const std::string& archive, VolumeSet& set, std::string& error);

}  // namespace zov::rar
