#pragma once

#include <string>

namespace zov {

// Where a running job's status lines go, given by the job's caller: the service sends them to the
// management program's status socket, the management program shows them in its window. Called on the
// job's thread.
class StatusSink {
  public:
    virtual ~StatusSink() = default;

    // One status line of the job.
    virtual void Status(const std::string& text) = 0;
    // The job's status lines are over for now: the shown status may be cleared.
    virtual void EndStatus() = 0;
};

}  // namespace zov
