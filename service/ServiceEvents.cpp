#include "service/ServiceEvents.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>

namespace zov {
namespace {

const char* EventMeaning(int id) {
    switch (id) {
        case kEventInitFailed:
            return "initialisation failed";
        case kEventInitialised:
            return "initialised";
        case kEventBadRequest:
            return "bad control request";
        case kEventStopped:
            return "stopped";
        default:
            return "event";
    }
}

int Priority(int type) {
    return type == kEventError ? LOG_ERR : type == kEventInformation ? LOG_INFO : LOG_WARNING;
}

struct EventSource {
    std::mutex mutex;
    std::string ident;  // openlog keeps the pointer: the text lives as long as the process
};

EventSource& Source() {
    static EventSource source;
    return source;
}

}  // namespace

std::string ServiceEventText(int id, const std::vector<std::string>& texts) {
    std::string line = std::string(EventMeaning(id)) + " (event " + std::to_string(id) + ")";
    for (size_t i = 0; i < texts.size(); ++i) line += (i == 0 ? ": " : " ") + texts[i];
    return line;
}

void WriteServiceEvent(const std::string& source, int type, int id, const std::vector<std::string>& texts) {
    const std::string line = ServiceEventText(id, texts);
    EventSource& events = Source();
    std::lock_guard lock(events.mutex);
    if (events.ident.empty()) {
        events.ident = source;
        openlog(events.ident.c_str(), LOG_PID, LOG_DAEMON);
    }
    syslog(Priority(type), "%s", line.c_str());
    std::fprintf(stderr, "%s: %s\n", source.c_str(), line.c_str());
    std::fflush(stderr);
}

}  // namespace zov
