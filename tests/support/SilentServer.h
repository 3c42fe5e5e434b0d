#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace zov::test {

// A hung server: a socket that takes connections and never answers, on a free port of 127.0.0.1 or on a
// Unix socket path, for the life of the object.
class SilentServer {
  public:
    // On a free port of 127.0.0.1.
    SilentServer();
    // On the Unix socket path.
    explicit SilentServer(const std::string& path);
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // "" when it could not listen.
    const std::string& port() const { return port_; }
    const std::string& path() const { return path_; }
    // Takes the connections made; false when fewer than count in all were made within timeout.
    bool Accept(std::size_t count, std::chrono::milliseconds timeout);

  private:
    int listener_;
    std::string port_;
    std::string path_;
    std::vector<int> accepted_;
};

}  // namespace zov::test
