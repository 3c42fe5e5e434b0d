#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace zov::test {

// The scripted SQL Server stand-in tds_peer.py, run for the life of the object on a free port of
// 127.0.0.1 (see the script's own notes for the script format). The process's ODBCSYSINI points at an
// odbcinst.ini of folder that registers the FreeTDS driver as "FreeTDS".
class TdsPeer {
  public:
    // folder: where the script, the record and odbcinst.ini go; user: the account the peer runs as ("":
    // this process's).
    TdsPeer(const std::string& folder, const std::string& script, const std::string& user = "");
    ~TdsPeer();
    TdsPeer(const TdsPeer&) = delete;
    TdsPeer& operator=(const TdsPeer&) = delete;

    // 0 when the peer did not start.
    int port() const { return port_; }
    // Every record entry ("kind" and the fields of its kind), in order.
    std::vector<std::map<std::string, std::string>> Records() const;
    // The texts of the batches received, in order.
    std::vector<std::string> Batches() const;

  private:
    std::string record_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// The path of the FreeTDS ODBC driver library; "" when it is not installed.
std::string FreeTdsDriverPath();

// A port of 127.0.0.1 where nothing listens (bound, then closed).
int ClosedPort();

// A server of 127.0.0.1 that takes connections and never writes, for the life of the object.
class CountingSilentServer {
  public:
    CountingSilentServer();
    ~CountingSilentServer();
    CountingSilentServer(const CountingSilentServer&) = delete;
    CountingSilentServer& operator=(const CountingSilentServer&) = delete;

    // 0 when it could not listen.
    int port() const { return port_; }
    // Takes the connections made; false when fewer than count in all were made within timeout.
    bool Accept(std::size_t count, std::chrono::milliseconds timeout);

  private:
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> accepted_;
};

}  // namespace zov::test
