#pragma once

#include <string>
#include <vector>

#include "platform/TrustedProgram.h"

// The server's client programs this system runs as root.
namespace zov {

// Dump tools and command-line clients, in the order they are preferred.
inline const std::vector<std::string> kMySqlDumpTools{"mariadb-dump", "mysqldump"};
inline const std::vector<std::string> kMySqlClients{"mariadb", "mysql"};

// The first of names that is a trusted program in serverFolder (the server program's folder, "" for
// none), then in the program folder, then in the absolute folders of PATH. "" when there is none.
std::string FindMySqlTool(const std::string& serverFolder, const std::vector<std::string>& names);

// Whether the command-line client runs with "--sandbox" (no "\!", "system", "source" or other command that
// reaches the file system or a shell): its "--help" list, asked once within 15 seconds, offers the option.
bool MySqlClientHasSandbox(const std::string& client);

}  // namespace zov
