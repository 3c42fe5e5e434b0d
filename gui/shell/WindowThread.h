#pragma once

#include <functional>

namespace zov::gui {

// Runs question on the window thread and returns when it has run: directly on the window thread; from a
// worker thread through a blocking queued call, one worker's question at a time (so a dialog it opens
// never meets another worker's). False when it did not run: no application, or the window thread ended
// before it came to the call.
bool AskOnWindowThread(const std::function<void()>& question);

}  // namespace zov::gui
