#pragma once

#include <memory>

namespace zov {

// The service's background threads and what they share: the run queue, six workers, the scheduler, the
// expired-backup thread and the log clean-up thread. Destroying the object requests a stop from every
// thread and waits for them; a worker in the middle of a run finishes that run first.
class ServiceThreads {
  public:
    ~ServiceThreads();
    ServiceThreads(ServiceThreads&&) noexcept;
    ServiceThreads& operator=(ServiceThreads&&) noexcept;

  private:
    friend ServiceThreads StartServiceThreads();
    ServiceThreads();
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Starts every background thread of the running service: five workers 500 ms apart and a sixth, then
// the scheduler, the expired-backup thread (on the service's task store) and the log clean-up thread.
ServiceThreads StartServiceThreads();

}  // namespace zov
