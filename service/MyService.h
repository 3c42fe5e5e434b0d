#pragma once

#include <string>

#include "engine/control/ServiceCtrl.h"
#include "service/Service.h"

namespace zov {

// The service's own registry values: run/registry.ini, sections "Parameters" (Start, Inc) and "Status"
// (Current).
std::string ServiceRegistryPath();

// The backup service: runs the service threads until it is stopped. The process must end without
// returning from main once the service has run (see ServiceThreads::StopForExit).
class CMyService : public CService {
  public:
    CMyService();

    // Starts the service threads (the cache clean-up among them), then sleeps until the stop.
    // On stop it cuts the workers' runs short and returns once they ended, or after a bounded wait.
    void Run() override;
    // Reads Parameters "Start" and "Inc" (missing values keep 0 and 1); the current value starts at Start.
    bool Prepare() override;
    // Code 128 writes the current value as Status "Current"; other codes are not handled.
    bool HandleUserCode(int code) override;

  private:
    int startValue_ = 0;
    int increment_ = 1;
    int currentValue_ = 0;
};

}  // namespace zov
