#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace zov::test {

// A hung server: a socket that takes connections into its queue and never answers, on a Unix socket path
// or on a free port of 127.0.0.1.
class SilentServer {
  public:
    // On a free port of 127.0.0.1.
    SilentServer() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(fd_, kQueue) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = std::to_string(ntohs(address.sin_port));
    }
    // On the Unix socket path.
    explicit SilentServer(const std::string& path)
        : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)), path_(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, kQueue) != 0)
            path_.clear();
    }
    ~SilentServer() {
        ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // "" when it could not listen.
    const std::string& port() const { return port_; }
    const std::string& path() const { return path_; }

  private:
    static constexpr int kQueue = 16;
    int fd_;
    std::string port_;
    std::string path_;
};

}  // namespace zov::test
