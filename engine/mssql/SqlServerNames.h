#pragma once

#include <string>
#include <string_view>
#include <vector>

// Names inside SQL Server statements and on disk.
namespace zov {

// name with every ']' doubled, for use inside [...].
std::string BracketEscaped(std::string_view name);
// text with every '\'' doubled, for use inside '...'.
std::string QuoteEscaped(std::string_view text);
// A database name as a file name component: '/' and control characters become '_'.
std::string DatabaseFileName(std::string_view name);
// The database of a backup's file name among the task's databases: the name itself when it is one of them,
// otherwise the only one of them that DatabaseFileName gives it; the file name as it stands when none or
// several do.
std::string DatabaseOfFileName(const std::string& fileName, const std::vector<std::string>& databases);

}  // namespace zov
