#pragma once

#include <string>
#include <vector>

// The service's events: to syslog under the service name (the source is opened on first use) and to
// standard error.
namespace zov {

inline constexpr int kEventError = 1;
inline constexpr int kEventInformation = 4;

inline constexpr int kEventInitFailed = 104;
inline constexpr int kEventInitialised = 105;
inline constexpr int kEventBadRequest = 106;
inline constexpr int kEventStopped = 108;

// "<what the id means> (event <id>)" followed by ": " and the texts, blank-separated, when there are any.
std::string ServiceEventText(int id, const std::vector<std::string>& texts);

void WriteServiceEvent(const std::string& source, int type, int id, const std::vector<std::string>& texts);

}  // namespace zov
