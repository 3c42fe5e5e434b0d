#pragma once

#include <string>
#include <string_view>

// Names inside SQL Server statements and on disk.
namespace zov {

// name with every ']' doubled, for use inside [...].
std::string BracketEscaped(std::string_view name);
// text with every '\'' doubled, for use inside '...'.
std::string QuoteEscaped(std::string_view text);
// A database name as a file name component: '/' and control characters become '_'.
std::string DatabaseFileName(std::string_view name);

}  // namespace zov
