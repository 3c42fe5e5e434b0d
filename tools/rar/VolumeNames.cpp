#include "tools/rar/VolumeNames.h"

#include <sys/stat.h>

#include <cctype>
#include <map>
#include <string>

#include "tools/rar/FileSystem.h"

namespace zov::rar {
namespace {

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i]) {
            return false;
        }
    }
    return true;
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StatFile(const std::string& path, std::uint64_t& size, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = SystemError("cannot open", path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + " is not a file";
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

}  // namespace

std::string SingleArchiveName(const std::string& archive) {
    return NameOf(archive).find('.') == std::string::npos ? archive + ".rar" : archive;
}

std::string VolumeBase(const std::string& archive) {
    return EndsWithNoCase(archive, ".rar") ? archive.substr(0, archive.size() - 4) : archive;
}

std::string VolumeName(const std::string& base, std::uint64_t index, int width) {
    std::string number = std::to_string(index);
    if (static_cast<int>(number.size()) < width) number.insert(0, width - number.size(), '0');
    return base + ".part" + number + ".rar";
}

int VolumeNumberWidth(std::uint64_t count) { return static_cast<int>(std::to_string(count).size()); }

bool IsVolumeOf(const std::string& baseName, const std::string& name, std::uint64_t* index,
                std::size_t* width) {
    const std::string prefix = baseName + ".part";
    if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) return false;
    if (!EndsWithNoCase(name, ".rar")) return false;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    if (digits.empty() || digits.size() > 18) return false;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
    }
    if (index != nullptr) *index = std::stoull(digits);
    if (width != nullptr) *width = digits.size();
    return true;
}

bool FindVolumes(const std::string& archive, VolumeSet& set, std::string& error) {
    std::vector<Volume>& volumes = set.volumes;
    volumes.clear();
    set.split = false;
    std::uint64_t size = 0;
    if (!StatFile(archive, size, error)) return false;

    // "<base>.part<N>.rar" names one volume of a set; anything else is a one-file archive.
    const std::string name = NameOf(archive);
    const auto part = name.rfind(".part");
    std::uint64_t given = 0;
    std::size_t width = 0;
    if (part == std::string::npos || !IsVolumeOf(name.substr(0, part), name, &given, &width) || given == 0) {
        volumes.push_back({archive, size});
        return true;
    }
    set.split = true;
    const std::string baseName = name.substr(0, part);
    const std::string folder = ParentFolder(archive);
    const std::string base = archive.substr(0, archive.size() - name.size()) + baseName;

    // Every volume of the same width in the folder; the set must run from 1 without a gap.
    std::map<std::uint64_t, std::string> found;
    for (const std::string& entry : ListFolder(folder)) {
        std::uint64_t index = 0;
        std::size_t entryWidth = 0;
        if (IsVolumeOf(baseName, entry, &index, &entryWidth) && entryWidth == width && index > 0) {
            found[index] = entry;
        }
    }
    const std::uint64_t last = found.empty() ? 0 : found.rbegin()->first;
    for (std::uint64_t index = 1; index <= last; ++index) {
        const std::string path = VolumeName(base, index, static_cast<int>(width));
        if (found.count(index) == 0) {
            error = "volume " + path + " is missing";
            return false;
        }
        if (!StatFile(path, size, error)) return false;
        volumes.push_back({path, size});
    }
    // A set written with N-digit numbers has at least 10^(N-1) volumes.
    if (VolumeNumberWidth(last) < static_cast<int>(width)) {
        error = "volume " + VolumeName(base, last + 1, static_cast<int>(width)) + " is missing";
        return false;
    }
    return true;
}

}  // namespace zov::rar
