#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/tasks/TaskStoreCipher.h"
#include "platform/FileVersion.h"

// Reading and writing task.db.
namespace zov {

// The longest store text, and the largest task.db, that is read.
inline constexpr std::size_t kTaskStoreMaxTextSize = 253000;
inline constexpr std::size_t kTaskStoreMaxFileSize = 2024000;
static_assert(kTaskStoreMaxFileSize == kTaskStoreMaxTextSize * kStoreBlockSize);

// Reads the text of task.db through one descriptor; version tells which content of the file was read. A
// file others may use is narrowed to its owner first (KeepFilePrivate).
// A missing file is an empty text. False (text "") with the reason in why when the file exists but cannot
// be read, is not a regular file, is larger than kTaskStoreMaxFileSize or does not decipher into a text:
// reading it as empty would let the next save drop every task.
bool ReadTaskStore(const std::string& path, std::string& text, FileVersion& version, std::string& why);

// Replaces task.db atomically with the enciphered text, readable by its owner only (0600). False when the
// write failed, or the text is longer than kTaskStoreMaxTextSize, as the file could never be read again.
bool WriteTaskStore(const std::string& path, std::string_view text);

}  // namespace zov
