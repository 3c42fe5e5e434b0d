#pragma once

#include <string>
#include <string_view>

// The service manager's notification protocol: one datagram of "KEY=value" lines sent to the socket
// named by NOTIFY_SOCKET (a path, or '@' + an abstract name).
namespace zov {

// Sends message to the socket; false when the name is empty or too long or the send failed.
bool SdNotify(const std::string& socketName, std::string_view message);

}  // namespace zov
