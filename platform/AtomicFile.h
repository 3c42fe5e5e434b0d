#pragma once

#include <sys/types.h>

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace zov {

// Replaces path with data: a temp file in the same folder, fsync, rename, fsync of the folder.
// A crash leaves either the old or the new file. False on any error (the old file is kept).
bool WriteFileAtomic(const std::string& path, std::string_view data);
// The same, the replacement with mode whatever the old file's mode was (its owner is kept).
bool WriteFileAtomic(const std::string& path, std::string_view data, mode_t mode);

// The whole file, or nullopt (errno set) when it cannot be opened or read, or holds more than maxBytes
// (EFBIG; nothing beyond the limit is read).
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

}  // namespace zov
