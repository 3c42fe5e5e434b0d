#include "support/TdsPeer.h"

#include <arpa/inet.h>
#include <glob.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>

#include "platform/Text.h"
#include "support/TempProgramDir.h"

namespace zov::test {
namespace {

// The peer script next to this file.
std::string PeerScript() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind('/') + 1) + "tds_peer.py";
}

// A JSON string starting at text[at] == '"'; at moves past it.
std::string JsonString(const std::string& text, std::size_t& at) {
    std::string out;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] != '\\') {
            out += text[at];
            continue;
        }
        const char c = text[++at];
        switch (c) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                unsigned code = std::stoul(text.substr(at + 1, 4), nullptr, 16);
                at += 4;
                if (code >= 0xD800 && code < 0xDC00 && text.compare(at + 1, 2, "\\u") == 0) {
                    const unsigned low = std::stoul(text.substr(at + 3, 4), nullptr, 16);
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    at += 6;
                }
                AppendUtf8(out, code);
                break;
            }
            default:
                out += c;
        }
    }
    ++at;
    return out;
}

// A flat JSON object of string values.
std::map<std::string, std::string> JsonObject(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::size_t at = line.find('"');
    while (at != std::string::npos) {
        const std::string key = JsonString(line, at);
        at = line.find('"', line.find(':', at));
        if (at == std::string::npos) break;
        fields[key] = JsonString(line, at);
        at = line.find('"', at);
    }
    return fields;
}

}  // namespace

std::string FreeTdsDriverPath() {
    glob_t found{};
    std::string path;
    if (::glob("/usr/lib/*/odbc/libtdsodbc.so", 0, nullptr, &found) == 0 && found.gl_pathc > 0) {
        path = found.gl_pathv[0];
    }
    ::globfree(&found);
    return path;
}

int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

CountingSilentServer::CountingSilentServer() : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listener_, 16) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

CountingSilentServer::~CountingSilentServer() {
    for (const int fd : accepted_) ::close(fd);
    if (listener_ >= 0) ::close(listener_);
}

bool CountingSilentServer::Accept(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (accepted_.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{listener_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) return false;
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) accepted_.push_back(fd);
    }
    return true;
}

TdsPeer::TdsPeer(const std::string& folder, const std::string& script, const std::string& user)
    : record_(folder + "/peer-record.jsonl") {
    WriteFile(folder + "/odbcinst.ini", "[FreeTDS]\nDriver=" + FreeTdsDriverPath() + "\n");
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    const std::string scriptPath = folder + "/peer-script.json";
    WriteFile(scriptPath, script);
    WriteFile(record_, "");
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    std::vector<std::string> args{"python3", PeerScript(), "--script", scriptPath, "--record", record_};
    if (!user.empty()) args.insert(args.end(), {"--user", user});
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    std::string line;
    char c;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(pipeFds[0]);
    port_ = line.empty() ? 0 : std::atoi(line.c_str());
}

TdsPeer::~TdsPeer() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

std::vector<std::map<std::string, std::string>> TdsPeer::Records() const {
    std::vector<std::map<std::string, std::string>> records;
    std::istringstream text(ReadFile(record_));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty()) records.push_back(JsonObject(line));
    }
    return records;
}

std::vector<std::string> TdsPeer::Batches() const {
    std::vector<std::string> batches;
    for (auto& record : Records()) {
        if (record["kind"] == "batch") batches.push_back(record["text"]);
    }
    return batches;
}

}  // namespace zov::test
