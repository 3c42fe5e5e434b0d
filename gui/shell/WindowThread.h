#pragma once

#include <functional>
#include <stop_token>

namespace zov::gui {

// Runs question on the window thread and returns when it has run: directly on the window thread; from a
// worker thread through a queued call, one worker's question at a time (so a dialog it opens never meets
// another worker's). False when it did not run: no application, the window thread ended before it came to
// the call, or stop was requested before the call began (so a window thread that waits for the worker
// after requesting its stop is never waited for in turn).
bool AskOnWindowThread(const std::function<void()>& question, std::stop_token stop = {});

}  // namespace zov::gui
