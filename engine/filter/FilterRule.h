#pragma once

#include <string_view>
#include <vector>

// The one rule by which a filter pattern selects the entries of a tree, for copies, archives, change lists
// and restores alike.
namespace zov {

// '*' matches any run of characters ('/' included), '?' one UTF-8 character; ASCII letters fold. "*.*"
// matches everything. Every other character, '[' included, stands for itself.
bool WildcardMatches(std::string_view pattern, std::string_view text);

// A pattern holding '/' is matched against the entry's full path, any other against its name (the last
// component of path). path has no trailing '/'.
bool PatternMatchesEntry(std::string_view pattern, std::string_view path);

// The patterns of one filter item: split at ';', leading blanks removed, empty ones dropped.
std::vector<std::string_view> ItemPatterns(std::string_view item);

}  // namespace zov
