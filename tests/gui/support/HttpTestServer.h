#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zov::gui::test {

// An HTTP/1.1 server on a free port of 127.0.0.1 for the tests: records every request and answers each
// with the next scripted reply (then 200 with an empty body), one connection at a time.
class HttpTestServer {
  public:
    struct Reply {
        Reply(int status = 200, std::string body = "", std::chrono::milliseconds stall = {})
            : status(status), body(std::move(body)), stall(stall) {}
        int status = 200;
        std::string body;
        // Waits this long before answering (a stalled server), cut short when the server ends.
        std::chrono::milliseconds stall{0};
        // Sent as Content-Length instead of the body's size (a lying server).
        std::optional<std::size_t> contentLength;
        // Sends no Content-Length: the body ends when the connection closes.
        bool omitLength = false;
    };
    struct Request {
        std::string method;
        std::string target;  // path and query as sent
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        std::string Header(const std::string& name) const;
    };

    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>".
    std::string base() const;
    void Script(std::vector<Reply> replies);
    std::vector<Request> Requests() const;

  private:
    void Serve(const std::stop_token& stop);
    void Answer(int connection, const std::stop_token& stop);

    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::deque<Reply> script_;
    std::vector<Request> requests_;
    std::jthread thread_;
};

}  // namespace zov::gui::test
