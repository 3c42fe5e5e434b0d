#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "engine/util/FolderHandle.h"

// Small file and folder queries.
namespace zov {

// out receives the file's text line by line ("\r\n" and "\n" end a line); each line is followed by "\n"
// when keepLineEnds. False (out unchanged) when the file cannot be read.
bool ReadTextFile(std::string& out, const std::string& path, bool keepLineEnds);

// Zero-fills buffer, then reads at most length bytes of the file. True when the whole file or a full
// buffer was read; false for a null buffer or an unreadable file.
bool ReadFileToBuffer(const std::string& path, char* buffer, std::size_t length);

// True when both files can be read and hold the same bytes (compared as read, stopping at the first
// difference); an unreadable file never has the same content as another.
bool FilesHaveSameContent(const std::string& pathA, const std::string& pathB);

// Last modification time of the path; 1972-01-01 00:00:00 local time when it does not exist.
std::time_t GetFileModifyTime(const std::string& path);

// A folder itself, not a link to one (a trailing '/' is ignored).
bool IsRealFolder(const std::string& path);

// False when folder is not a folder; true when it holds no entry.
bool IsFolderEmpty(const std::string& folder);
bool IsFolderEmpty(const FolderHandle& folder);
// False when folder is not a folder; true when neither it nor any folder below it holds anything but
// folders. Links are not followed: a link counts as a file.
bool IsTreeWithoutFiles(const std::string& folder);
bool IsTreeWithoutFiles(const FolderHandle& folder);

// Empties names, then appends the names of the direct sub-folders of folder (names starting with '.'
// skipped, sorted); returns their number (0 when folder is not a folder).
std::size_t ListSubfolders(const std::string& folder, std::vector<std::string>& names);

// Deletes every entry of folders that is a folder, with all it holds. A link to a folder is removed as a
// link; nothing is followed below the entry.
void DeleteFolders(const std::vector<std::string>& folders);

}  // namespace zov
