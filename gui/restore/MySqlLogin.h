#pragma once

#include <chrono>
#include <string>

namespace zov::gui {

// How long the login test waits for the server: for the connection, and for each answer after it.
inline constexpr std::chrono::seconds kMySqlLoginTimeout{5};

// Whether the server a task names (SearchMySqlDataDir) lets "root" in with the password: one connection to
// the database "mysql" through the client library, made where the task's dumps and restores connect
// (MySqlServerConnection), closed again on every path. False with the library's error text and the socket
// or host:port tried. Waits at most timeout for the connection and for each answer. Any thread.
bool TestLogin(const std::string& serverName, const std::string& rootPassword, std::string& errorText,
               std::chrono::seconds timeout = kMySqlLoginTimeout);

}  // namespace zov::gui
