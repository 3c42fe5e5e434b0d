#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zov {

// Replaces path with data: a temp file in the same folder, fsync, rename, fsync of the folder.
// A crash leaves either the old or the new file. False on any error (the old file is kept).
bool WriteFileAtomic(const std::string& path, std::string_view data);

// The whole file, or nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace zov
