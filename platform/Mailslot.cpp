#include "platform/Mailslot.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/Paths.h"

namespace zov {
namespace {

std::uint64_t Fnv1a64(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The abstract address of a slot; nullopt when the name does not fit.
std::optional<std::pair<sockaddr_un, socklen_t>> SlotAddress(const std::string& programDir,
                                                             const std::string& slot) {
    std::string name = MailslotName(programDir, slot);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() + 1 > sizeof address.sun_path) return std::nullopt;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return std::make_pair(address, length);
}

}  // namespace

std::string MailslotName(const std::string& programDir, const std::string& slot) {
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(Fnv1a64(WithTrailingSlash(programDir))));
    return "zov-" + std::string(hash) + "-" + slot;
}

MailslotReader::MailslotReader(const std::string& programDir, const std::string& slot) {
    auto address = SlotAddress(programDir, slot);
    if (!address) return;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address->first), address->second) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
}

MailslotReader::~MailslotReader() {
    if (fd_ >= 0) close(fd_);
}

std::optional<std::string> MailslotReader::Receive(std::chrono::milliseconds timeout) {
    if (fd_ < 0) return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        pollfd waiting{fd_, POLLIN, 0};
        int ready = poll(&waiting, 1, static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        // Peek at the real size first so that the whole datagram is taken.
        ssize_t size = recv(fd_, nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
        if (size < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return std::nullopt;
        }
        std::string message(static_cast<size_t>(size), '\0');
        ssize_t got = recv(fd_, message.data(), message.size(), MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return std::nullopt;
        }
        message.resize(static_cast<size_t>(got));
        return message;
    }
}

bool MailslotWrite(const std::string& programDir, const std::string& slot, std::string_view message) {
    auto address = SlotAddress(programDir, slot);
    if (!address) return false;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ssize_t sent = sendto(fd, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr*>(&address->first), address->second);
    close(fd);
    return sent == static_cast<ssize_t>(message.size());
}

}  // namespace zov
