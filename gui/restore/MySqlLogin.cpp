#include "gui/restore/MySqlLogin.h"

#include <mysql.h>

#include <charconv>
#include <memory>
#include <mutex>

#include "engine/mysql/MySqlConnection.h"

namespace zov::gui {
namespace {

constexpr const char* kDatabase = "mysql";
// The option file groups the command-line clients read too.
constexpr const char* kOptionGroup = "client";

struct Closer {
    void operator()(MYSQL* handle) const { mysql_close(handle); }
};

// A TCP port 1..65535.
bool ReadPort(const std::string& text, unsigned& port) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, port);
    return error == std::errc() && stop == end && port >= 1 && port <= 65535;
}

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

bool TestLogin(const std::string& serverName, const std::string& rootPassword, std::string& errorText,
               std::chrono::seconds timeout) {
    static std::once_flag library;
    std::call_once(library, [] { mysql_library_init(0, nullptr, nullptr); });

    const MySqlConnection connection = MySqlServerConnection(serverName);
    unsigned port = 0;
    if (!connection.port.empty() && !ReadPort(connection.port, port)) {
        errorText = "config.ini [MYSQL] Port 无效：" + connection.port;
        return false;
    }
    const std::unique_ptr<MYSQL, Closer> handle(mysql_init(nullptr));
    if (!handle) {
        errorText = "内存不足";
        return false;
    }
    const unsigned seconds = static_cast<unsigned>(timeout.count());
    mysql_optionsv(handle.get(), MYSQL_OPT_CONNECT_TIMEOUT, &seconds);
    mysql_optionsv(handle.get(), MYSQL_OPT_READ_TIMEOUT, &seconds);
    mysql_optionsv(handle.get(), MYSQL_OPT_WRITE_TIMEOUT, &seconds);
    mysql_optionsv(handle.get(), MYSQL_READ_DEFAULT_GROUP, kOptionGroup);
    const std::string host = MySqlHost(connection);
    if (mysql_real_connect(handle.get(), OrNull(host), kMySqlUser, rootPassword.c_str(), kDatabase, port,
                           OrNull(connection.socket), 0) == nullptr) {
        errorText = std::string(mysql_error(handle.get())) + "（MySQL服务器：" +
                    MySqlServerAddress(connection) + "）";
        return false;
    }
    errorText.clear();
    return true;
}

}  // namespace zov::gui
