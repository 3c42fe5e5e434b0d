#pragma once

#include <stop_token>
#include <string>

// The start-up repair of the backup service: start it when it is stopped, install it when it is missing.
namespace zov::gui {

// Acts on the service's state, at most three actions in all: a stopped or paused service is started and
// waited for, a missing one is installed with "<program> -install" (a bounded run), a stopping one is waited
// for. True when the service runs or is starting; message says what happened. Every wait is bounded and ends
// early on a stop. Never call on the window thread.
bool RepairServiceAtStart(std::string& message, const std::stop_token& stop = {});

}  // namespace zov::gui
