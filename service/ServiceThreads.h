#pragma once

#include <memory>

namespace zov {

// The service's background threads and what they share: the run queue, six workers, the scheduler, the
// expired-backup thread, the log clean-up thread and the start-up cache clean-up.
class ServiceThreads {
  public:
    // Without StopForExit: requests a stop from every thread and waits for them; a worker in the middle
    // of a run finishes that run first.
    ~ServiceThreads();
    ServiceThreads(ServiceThreads&&) noexcept;
    ServiceThreads& operator=(ServiceThreads&&) noexcept;

    // The stop of a service whose process ends next: requests a stop from every thread, which cuts the
    // workers' runs short (their archivers ended, their copies stopped between two files); waits up to 3 s
    // for the workers, then for the scheduler, the expired-backup and the two clean-up threads. A worker
    // still busy after the 3 s is left, with what it uses, to the end of the process. A run cut short
    // leaves its time under "RUNNING".
    void StopForExit();

  private:
    friend ServiceThreads StartServiceThreads();
    ServiceThreads();
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Starts every background thread of the running service: the deletion of the cache folder's leftovers
// (CacheLeftovers, listed now); once the runs cut short by the last stop are recovered
// (RecoverInterruptedRuns), five workers 500 ms apart and a sixth, then the scheduler, the expired-backup
// thread (on the service's task store) and the log clean-up thread (RunLogCleanup).
ServiceThreads StartServiceThreads();

}  // namespace zov
