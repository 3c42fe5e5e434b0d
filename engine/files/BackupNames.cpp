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
// The MD5 digest before the suffix of a long deletion marker.
constexpr std::size_t kDigestDigits = 32;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
    return (name.size() > kDeletionMarker.size() && name.ends_with(kDeletionMarker)) ||
           IsLongDeletionMarker(name);
}

bool IsLongDeletionMarker(std::string_view name) {
    if (name.size() != kDigestDigits + kLongDeletionMarker.size() || !name.ends_with(kLongDeletionMarker))
        return false;
    const std::string_view digest = name.substr(0, kDigestDigits);
    return std::all_of(digest.begin(), digest.end(),
                       [](char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); });
}

std::string_view MarkedName(std::string_view marker) {
    return marker.ends_with(kDeletionMarker) && marker.size() > kDeletionMarker.size()
               ? marker.substr(0, marker.size() - kDeletionMarker.size())
               : marker;
}

std::string PartialSetName(std::string_view stamp, int taskId) {
    return std::string(stamp) + "." + std::to_string(taskId) + std::string(kPartialSuffix);
}

std::string_view StampOfPartialSet(std::string_view name, int taskId) {
    const std::string tail = "." + std::to_string(taskId) + std::string(kPartialSuffix);
    if (!name.ends_with(tail)) return {};
    const std::string_view stamp = name.substr(0, name.size() - tail.size());
    return IsStampText(stamp) ? stamp : std::string_view{};
}

std::string_view ArchiveSuffixOfSet(std::string_view name, std::string_view title) {
    if (!name.starts_with(title) || !name.ends_with(kArchiveExtension)) return {};
    const std::string_view suffix = name.substr(title.size());
    if (suffix.size() < kArchiveExtension.size()) return {};
    std::string_view middle = suffix.substr(0, suffix.size() - kArchiveExtension.size());
    if (middle.empty()) return suffix;
    if (!middle.starts_with(kVolumeInfix)) return {};
    middle.remove_prefix(kVolumeInfix.size());
    return !middle.empty() && std::all_of(middle.begin(), middle.end(), IsDigit) ? suffix
                                                                                 : std::string_view{};
}

std::string FindVolumeName(const std::string& archiveBase) {
    for (const char* suffix : {".rar", ".part1.rar", ".part01.rar", ".part001.rar", ".part0001.rar"}) {
        if (FileExists(archiveBase + suffix)) return archiveBase + suffix;
    }
    return archiveBase + ".rar";
}

}  // namespace zov
