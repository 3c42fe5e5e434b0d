#include "engine/BackupNames.h"

#include <algorithm>
#include <cctype>

#include "platform/Text.h"

namespace zov {

namespace {

constexpr std::string_view kArchiveExtension = ".rar";
constexpr std::string_view kVolumeInfix = ".part";

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
    return name.size() > kDeletionMarker.size() && name.ends_with(kDeletionMarker);
}

std::string_view MarkedName(std::string_view marker) {
    return IsDeletionMarker(marker) ? marker.substr(0, marker.size() - kDeletionMarker.size()) : marker;
}

}  // namespace zov
