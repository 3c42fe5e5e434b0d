#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

// The one rule for "a local folder path": an absolute path (first character '/').
bool IsAbsolutePath(std::string_view path);

// Duplicate separators collapsed and trailing separators removed; "/" stays "/", "" stays "".
std::string CleanPath(std::string_view path);

// Component-wise relation of two paths after CleanPath; exact, case-sensitive comparison.
enum class PathRelation { Unrelated, Same, Nested };
PathRelation RelatePaths(std::string_view a, std::string_view b);

// True when inner is outer or lies below it (component-wise).
bool IsPathInside(std::string_view inner, std::string_view outer);

// a + '/' + b with exactly one separator between them.
std::string JoinPath(std::string_view a, std::string_view b);

// The path with exactly one trailing '/'; "" stays "".
std::string WithTrailingSlash(std::string_view path);

// Entry names of a folder without "." and "..", sorted by byte order; nullopt (errno set) when it cannot
// be read.
std::optional<std::vector<std::string>> TryListDirectory(const std::string& folder);
// The same, empty when the folder cannot be read.
std::vector<std::string> ListDirectory(const std::string& folder);

bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
bool PathExists(const std::string& path);  // without following a final symbolic link

}  // namespace zov
