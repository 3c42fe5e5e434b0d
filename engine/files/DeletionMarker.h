#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/util/FolderHandle.h"

// The deletion markers of differential sets. A file or folder <name> gone from the source since the base is
// recorded in the set's folder of <name> in one of two forms:
//   "<name>qel_temp_del~~~~"       an empty file, wherever that name fits in a file name (255 bytes);
//   "<digest>qel_long_del~~~~"     for a longer <name>: <digest> is the MD5 of <name> in 32 lowercase
//                                  hexadecimal digits, and the file (0600) holds <name> itself, no line end.
// The first is the only form of older sets and stays the one written where it fits. A marker names one
// entry of its own folder: a recorded name that is not one path level ("", '/', "." or ".."), or a long
// marker whose content does not match its digest or does not fit a name, stands for nothing.
namespace zov {

// The file name of the marker recording that name was deleted.
std::string DeletionMarkerOf(std::string_view name);

// Makes the marker of name in folder; one already there as a file counts as made. 0 or an errno value.
int WriteDeletionMarker(const std::string& folder, std::string_view name);

// The name that the marker of folder records; nullopt when marker is no marker or stands for nothing.
std::optional<std::string> DeletedNameOf(const FolderHandle& folder, const std::string& marker);

}  // namespace zov
