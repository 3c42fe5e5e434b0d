#pragma once

#include <string>
#include <vector>

// The MySQL servers of this computer, as the service manager of this installation knows them: its
// services, and on the local backend the believed servers that run as processes nobody registered.
namespace zov {

// The names of the servers, in the manager's order; true when there is at least one. A service whose
// program is a server program (IsMySqlServer) is named once; a service name that several believed server
// processes share (SearchMySqlServers) is named once per data folder (MySqlServerName), and not at all
// when none of them is believed. Empty when the manager cannot be asked.
bool FindMySqlServices(std::vector<std::string>& names);

}  // namespace zov
