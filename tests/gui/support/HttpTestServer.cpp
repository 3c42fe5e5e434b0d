#include "support/HttpTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zov::gui::test {

namespace {

constexpr int kPollMs = 50;
constexpr std::size_t kLargestRequest = 1 << 20;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Waits for the socket to be readable until the stop; false when stopped.
bool WaitReadable(int fd, const std::stop_token& stop) {
    while (!stop.stop_requested()) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, kPollMs) > 0) return true;
    }
    return false;
}

void SendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string HttpTestServer::Request::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (Lower(key) == Lower(name)) return value;
    }
    return "";
}

HttpTestServer::HttpTestServer() {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(listener_, 16) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port_ = ntohs(address.sin_port);
    thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
}

HttpTestServer::~HttpTestServer() {
    thread_.request_stop();
    thread_.join();
    close(listener_);
}

std::string HttpTestServer::base() const { return "http://127.0.0.1:" + std::to_string(port_); }

void HttpTestServer::Script(std::vector<Reply> replies) {
    std::lock_guard lock(mutex_);
    script_.assign(replies.begin(), replies.end());
}

std::vector<HttpTestServer::Request> HttpTestServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpTestServer::Serve(const std::stop_token& stop) {
    while (WaitReadable(listener_, stop)) {
        const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        Answer(connection, stop);
        close(connection);
    }
}

void HttpTestServer::Answer(int connection, const std::stop_token& stop) {
    std::string data;
    std::size_t headerEnd = std::string::npos;
    std::size_t wanted = 0;
    char buffer[8192];
    while (data.size() < kLargestRequest) {
        if (headerEnd != std::string::npos && data.size() >= headerEnd + 4 + wanted) break;
        if (!WaitReadable(connection, stop)) return;
        const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        data.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos && (headerEnd = data.find("\r\n\r\n")) != std::string::npos) {
            const std::string head = Lower(data.substr(0, headerEnd));
            const std::size_t at = head.find("content-length:");
            if (at != std::string::npos) wanted = std::strtoul(head.c_str() + at + 15, nullptr, 10);
        }
    }
    Request request;
    std::size_t lineEnd = data.find("\r\n");
    const std::string first = data.substr(0, lineEnd);
    const std::size_t space1 = first.find(' ');
    const std::size_t space2 = first.find(' ', space1 + 1);
    request.method = first.substr(0, space1);
    request.target = first.substr(space1 + 1, space2 - space1 - 1);
    while (lineEnd < headerEnd) {
        const std::size_t next = data.find("\r\n", lineEnd + 2);
        const std::string line = data.substr(lineEnd + 2, next - lineEnd - 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(line.substr(0, colon),
                                         line.substr(line.find_first_not_of(' ', colon + 1)));
        lineEnd = next;
    }
    request.body = data.substr(headerEnd + 4);
    Reply reply;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (!script_.empty()) {
            reply = script_.front();
            script_.pop_front();
        }
    }
    const auto until = std::chrono::steady_clock::now() + reply.stall;
    while (std::chrono::steady_clock::now() < until && !stop.stop_requested())
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    if (stop.stop_requested()) return;
    const std::string length =
        reply.omitLength
            ? ""
            : "Content-Length: " + std::to_string(reply.contentLength.value_or(reply.body.size())) + "\r\n";
    SendAll(connection, "HTTP/1.1 " + std::to_string(reply.status) + " Scripted\r\n" + length +
                            "Connection: close\r\n\r\n" + reply.body);
}

}  // namespace zov::gui::test
