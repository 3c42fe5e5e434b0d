#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>

// One HTTP exchange through libcurl, bounded in time and size: the layer under HttpGet and the update
// client's POST.
namespace zov::gui {

// No reply body larger than this is taken, whatever its Content-Length says.
inline constexpr std::size_t kHttpBodyLimit = 4 * 1024 * 1024;

struct HttpTimeouts {
    std::chrono::milliseconds connect{10000};
    std::chrono::milliseconds total{30000};
};
// The time-outs of every later exchange of the process (tests shorten them).
void SetHttpTimeouts(HttpTimeouts timeouts);
HttpTimeouts CurrentHttpTimeouts();

struct HttpRequest {
    std::string url;                      // http or https only
    std::optional<std::string> postBody;  // a form POST when set, else a GET
    std::string agent;                    // User-Agent; "" sends none
};

struct HttpReply {
    bool completed = false;  // a whole reply within the limits arrived
    long status = 0;         // its HTTP status
    std::string body;
    std::string error;  // why it did not complete
};

// Sends the request and waits for the reply; a stop request ends the wait early (not completed).
HttpReply HttpExchange(const HttpRequest& request, const std::stop_token& stop = {});

}  // namespace zov::gui
