#pragma once

#include <optional>
#include <string>
#include <vector>

// The server's option files ("my.cnf"): "[group]" lines, "name = value" and bare "name" lines, whole-line
// comments ('#', ';') and end-of-line comments ('#' outside quotes), a value in one pair of quotes with the
// escapes \n \t \r \b \s \" \' \\, "!include FILE" and "!includedir FOLDER" (the folder's files ending in
// ".cnf", by name). Option names match with '-' and '_' alike; group and option names ignore ASCII case.
namespace zov {

// The value of option name in any of the groups of the file and the files it includes, as the server
// takes it: the last one read. Nullopt when no such group sets it or the file cannot be read.
std::optional<std::string> ReadMySqlOption(const std::string& path, const std::vector<std::string>& groups,
                                           const std::string& name);

}  // namespace zov
