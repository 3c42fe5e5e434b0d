#pragma once

#include <chrono>
#include <string>

namespace zov::gui {

// How long the login test waits for the server: for the connection, and for each answer after it.
inline constexpr std::chrono::seconds kMySqlLoginTimeout{5};

// Whether the local MySQL server lets "root" in with the password: one connection to the database "mysql"
// through the client library, made where every MySQL client of the system connects (config.ini [MYSQL],
// else the machine's client defaults and option files), closed again on every path. False with the
// library's error text, which names the socket or host:port when the server could not be reached. Waits
// at most timeout for the connection and for each answer. Any thread.
bool TestLogin(const std::string& rootPassword, std::string& errorText,
               std::chrono::seconds timeout = kMySqlLoginTimeout);

}  // namespace zov::gui
