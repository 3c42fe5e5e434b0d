#pragma once

#include <string>
#include <vector>

// The server's client programs this system runs as root.
namespace zov {

// Dump tools and command-line clients, in the order they are preferred.
inline const std::vector<std::string> kMySqlDumpTools{"mariadb-dump", "mysqldump"};
inline const std::vector<std::string> kMySqlClients{"mariadb", "mysql"};

// A program this system may run as root: an executable regular file (a link is followed) owned by root and
// writable by nobody else, in a folder owned by root and writable by nobody else. Another user's program
// or a program planted in a folder others may write to is never run.
bool IsTrustedProgram(const std::string& path);

// The first of names that is a trusted program in serverFolder (the server program's folder, "" for
// none), then in the program folder, then in the absolute folders of PATH. "" when there is none.
std::string FindMySqlTool(const std::string& serverFolder, const std::vector<std::string>& names);

}  // namespace zov
