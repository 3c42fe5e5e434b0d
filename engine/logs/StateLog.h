#pragma once

#include <string>
#include <utility>

#include "engine/jobs/StatusSink.h"

// Notices to the management program over its two mailslots.
namespace zov {

// The status lines of one job, sent to the "StateLog" mailslot of a program folder: each line cut at 399
// bytes on a character boundary, plus its zero byte. Lines are dropped while no reader exists.
class StateLogSink final : public StatusSink {
  public:
    explicit StateLogSink(std::string programDir) : programDir_(std::move(programDir)) {}

    void Status(const std::string& text) override;
    // When at most one line was sent since the last end, sends a zero-length message (the reader clears
    // its status line).
    void EndStatus() override;

  private:
    std::string programDir_;
    int linesSinceEnd_ = 0;
};

// Sends "<cmd>N</cmd>" and its zero byte to "UpdateLog". False when no reader exists.
bool WriteUpdateLog(int notice);

}  // namespace zov
