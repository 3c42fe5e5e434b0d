#include "engine/files/BackupNames.h"

#include <algorithm>
#include <cctype>

#include "engine/util/CommonPaths.h"
#include "platform/Text.h"

namespace zov {

namespace {

constexpr std::string_view kArchiveExtension = ".rar";
constexpr std::string_view kVolumeInfix = ".part";
constexpr std::string_view kPartialSuffix = ".partial";
constexpr std::size_t kTemporarySuffixLength = 6;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsLetterOrDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// "<archive>" of an archiver's temporary file "<archive>.<six letters or digits>"; "" for other names.
std::string_view ArchiveOfTemporary(std::string_view name) {
    if (name.size() <= kTemporarySuffixLength + 1) return {};
    const std::size_t dot = name.size() - kTemporarySuffixLength - 1;
    const std::string_view random = name.substr(dot + 1);
    if (name[dot] != '.' || !std::all_of(random.begin(), random.end(), IsLetterOrDigit)) return {};
    return name.substr(0, dot);
}

// "<itemStamp>.rar" or "<itemStamp>.partN.rar", as the run names its archive.
bool IsArchiveOfSet(std::string_view name, std::string_view itemStamp) {
    if (!name.starts_with(itemStamp) || !name.ends_with(kArchiveExtension)) return false;
    std::string_view middle = name.substr(itemStamp.size());
    if (middle.size() < kArchiveExtension.size()) return false;
    middle.remove_suffix(kArchiveExtension.size());
    if (middle.empty()) return true;
    if (!middle.starts_with(kVolumeInfix)) return false;
    const std::string_view number = middle.substr(kVolumeInfix.size());
    return !number.empty() && std::all_of(number.begin(), number.end(), IsDigit);
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return EqualsIgnoreAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

// The length of the volume suffix ".partN" that ends text with something before it; 0 when there is none.
std::size_t VolumeSuffixLength(std::string_view text) {
    std::size_t digits = 0;
    while (digits < text.size() && IsDigit(text[text.size() - 1 - digits])) ++digits;
    if (digits == 0) return 0;
    const std::string_view rest = text.substr(0, text.size() - digits);
    if (rest.size() <= kVolumeInfix.size() || !EndsWithNoCase(rest, kVolumeInfix)) return 0;
    return kVolumeInfix.size() + digits;
}

}  // namespace

bool IsDatedFolderName(std::string_view name) {
    if (name.size() != 10) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? name[i] != '-' : !IsDigit(name[i])) return false;
    }
    return true;
}

bool IsStampText(std::string_view text) {
    return text.size() == 14 && std::all_of(text.begin(), text.end(), IsDigit);
}

std::string_view BackupTitle(std::string_view name, bool isFolder) {
    if (isFolder) return name;
    if (IsArchiveName(name)) {
        const std::string_view title = name.substr(0, name.size() - kArchiveExtension.size());
        return title.substr(0, title.size() - VolumeSuffixLength(title));
    }
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

bool IsArchiveName(std::string_view fileName) { return EndsWithNoCase(fileName, kArchiveExtension); }

int VolumeNumber(std::string_view fileName) {
    if (!IsArchiveName(fileName)) return 0;
    const std::string_view title = fileName.substr(0, fileName.size() - kArchiveExtension.size());
    const std::size_t suffix = VolumeSuffixLength(title);
    if (suffix == 0) return 0;
    int number = 0;
    for (char c : title.substr(title.size() - suffix + kVolumeInfix.size())) {
        if (number > 99999999) return 0;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string_view StampOfTitle(std::string_view title) {
    const std::size_t underscore = title.rfind('_');
    if (underscore == std::string_view::npos || underscore == 0) return {};
    const std::string_view stamp = title.substr(underscore + 1);
    return IsStampText(stamp) ? stamp : std::string_view{};
}

bool IsDeletionMarker(std::string_view name) {
    return name.size() > kDeletionMarker.size() && name.ends_with(kDeletionMarker);
}

std::string_view MarkedName(std::string_view marker) {
    return IsDeletionMarker(marker) ? marker.substr(0, marker.size() - kDeletionMarker.size()) : marker;
}

std::string PartialSetName(std::string_view itemStamp) {
    return std::string(itemStamp) + std::string(kPartialSuffix);
}

RunOutput RunOutputOf(std::string_view name, std::string_view itemStamp) {
    if (itemStamp.empty()) return RunOutput::None;
    if (name.size() == itemStamp.size() + kPartialSuffix.size() && name.starts_with(itemStamp) &&
        name.ends_with(kPartialSuffix)) {
        return RunOutput::PartialSet;
    }
    if (IsArchiveOfSet(name, itemStamp)) return RunOutput::ArchiveFile;
    const std::string_view archive = ArchiveOfTemporary(name);
    return !archive.empty() && IsArchiveOfSet(archive, itemStamp) ? RunOutput::ArchiveFile : RunOutput::None;
}

std::string_view StampOfArchiverTemporary(std::string_view name) {
    const std::string_view archive = ArchiveOfTemporary(name);
    if (!IsArchiveName(archive)) return {};
    return StampOfTitle(BackupTitle(archive, false));
}

std::string FindVolumeName(const std::string& archiveBase) {
    for (const char* suffix : {".rar", ".part1.rar", ".part01.rar", ".part001.rar", ".part0001.rar"}) {
        if (FileExists(archiveBase + suffix)) return archiveBase + suffix;
    }
    return archiveBase + ".rar";
}

}  // namespace zov
