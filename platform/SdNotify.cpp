#include "platform/SdNotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace zov {

bool SdNotify(const std::string& socketName, std::string_view message) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketName.size() < 2 || socketName.size() >= sizeof address.sun_path) return false;
    if (socketName.front() != '/' && socketName.front() != '@') return false;
    std::memcpy(address.sun_path, socketName.data(), socketName.size());
    if (socketName.front() == '@') address.sun_path[0] = '\0';
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketName.size());

    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ssize_t sent;
    do {
        sent = sendto(fd, message.data(), message.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                      length);
    } while (sent < 0 && errno == EINTR);
    close(fd);
    return sent == static_cast<ssize_t>(message.size());
}

}  // namespace zov
