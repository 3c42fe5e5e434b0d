#pragma once

#include <string>
#include <string_view>
#include <vector>

// A service's command line as one text: the arguments separated by blanks; an argument that is empty or
// holds a blank, a tab or a double quote is written inside double quotes, where '\' escapes '"' and '\'.
namespace zov {

std::string JoinCommandLine(const std::vector<std::string>& arguments);

// The arguments of such a text. Outside quotes a backslash is an ordinary character.
std::vector<std::string> SplitCommandLine(std::string_view text);

}  // namespace zov
