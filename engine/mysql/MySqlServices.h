#pragma once

#include <string>
#include <vector>

// The MySQL servers of this computer, as the service manager of this installation knows them: its
// services, and on the local backend the servers that run as processes nobody registered.
namespace zov {

// The names of the services whose command line names a server program (IsMySqlServerCommand), in the
// manager's order; true when there is at least one. Empty when the manager cannot be asked.
bool FindMySqlServices(std::vector<std::string>& names);

}  // namespace zov
