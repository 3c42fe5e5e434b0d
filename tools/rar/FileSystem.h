#pragma once

#include <string>
#include <vector>

namespace zov::rar {

// Entry names of a folder without "." and "..", sorted by byte order; empty when it cannot be read (then
// *readable, when given, is false).
std::vector<std::string> ListFolder(const std::string& folder, bool* readable = nullptr);

// The lines of a list file (one path a line; a final '\r' is dropped, empty lines are skipped). False when
// the file cannot be read.
bool ReadListFile(const std::string& file, std::vector<std::string>& lines);

// Opens a source file to read (without updating its access time where allowed); -1 with errno set.
int OpenSourceFile(const std::string& path);

// Creates a folder and its missing parents (0700); false with errno set when one cannot be made.
bool MakeFolders(const std::string& folder);

// The folder part of a path ("." for a bare name).
std::string ParentFolder(const std::string& path);

// path made absolute against the working folder, with duplicate and trailing '/' removed.
std::string AbsolutePath(const std::string& path);

// what + " " + path + ": " + the text of errno.
std::string SystemError(const std::string& what, const std::string& path);

}  // namespace zov::rar
