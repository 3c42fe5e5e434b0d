#pragma once

#include <string>
#include <string_view>

// Names of backups on disk: dated folders "YYYY-MM-DD", 14-digit stamps "YYYYMMDDhhmmss" after the last '_'
// of an entry's title, archive volumes "<title>.partN.rar" and deletion markers.
namespace zov {

inline constexpr const char* kDateFormat = "%Y-%m-%d";
inline constexpr const char* kStampFormat = "%Y%m%d%H%M%S";

// The folder of a storage folder that holds the differential sets: "diff/<base title>/<stamp>[.rar]".
inline constexpr const char* kDiffFolderName = "diff";

// The suffixes of the deletion markers of a differential set, which record the files deleted from the source
// since the base was made (see DeletionMarker.h): "<name>qel_temp_del~~~~", and "<digest>qel_long_del~~~~"
// for a name too long for the first.
inline constexpr std::string_view kDeletionMarker = "qel_temp_del~~~~";
inline constexpr std::string_view kLongDeletionMarker = "qel_long_del~~~~";

// "YYYY-MM-DD": ten characters, '-' at indexes 4 and 7 and digits everywhere else.
bool IsDatedFolderName(std::string_view name);

// Exactly 14 ASCII digits.
bool IsStampText(std::string_view text);

// The title of a backup entry: a folder's name as it stands; a file's name without its extension, and for
// a ".rar" archive (any case) also without a volume suffix ".partN" that ends the rest ("X.part2.rar" and
// "X.rar" give "X"; "my.party_20240301010000" keeps its ".party").
std::string_view BackupTitle(std::string_view name, bool isFolder);

// The first existing file of an archive given without ".rar": archiveBase + ".rar", ".part1.rar",
// ".part01.rar", ".part001.rar" or ".part0001.rar"; archiveBase + ".rar" when none exists.
std::string FindVolumeName(const std::string& archiveBase);

// True for a name ending in ".rar" (any case).
bool IsArchiveName(std::string_view fileName);

// N of a volume name "<title>.partN.rar" (any case); 0 for every other name.
int VolumeNumber(std::string_view fileName);

// The 14-digit stamp after the last '_' of a title with a non-empty name before it; "" when there is none.
std::string_view StampOfTitle(std::string_view title);

// True for "<name>qel_temp_del~~~~" with a non-empty name and for "<digest>qel_long_del~~~~" with 32
// lowercase hexadecimal digits before the suffix.
bool IsDeletionMarker(std::string_view name);

// True for a marker of the second form.
bool IsLongDeletionMarker(std::string_view name);

// The name a marker of the first form stands for (the marker without its suffix).
std::string_view MarkedName(std::string_view marker);

// The private work folder in which a run of task taskId started at stamp writes a set, beside the set's
// place: "<stamp>.<task id>.partial". The set gets its own name only once complete (PendingSet); no
// scanner takes the work folder for a set, as its name ends in no stamp, and runs of other tasks never
// share it (the sets of one run are written one after the other).
std::string PartialSetName(std::string_view stamp, int taskId);

// The stamp of a work folder of task taskId (PartialSetName); "" for every other name.
std::string_view StampOfPartialSet(std::string_view name, int taskId);

// How name ends when it is an archive file of the set title: ".rar" or a volume ".partN.rar" (N of any
// width); "" for every other name.
std::string_view ArchiveSuffixOfSet(std::string_view name, std::string_view title);

}  // namespace zov
