#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/Shell.h"

namespace zov {

// Test shell: records every target and answers with a fixed result.
class RecordingShell : public Shell {
  public:
    explicit RecordingShell(bool result = true) : result_(result) {}
    bool Open(const std::string& target) override {
        std::lock_guard lock(mutex_);
        opened_.push_back(target);
        return result_;
    }
    std::vector<std::string> Opened() const {
        std::lock_guard lock(mutex_);
        return opened_;
    }

  private:
    bool result_;
    mutable std::mutex mutex_;
    std::vector<std::string> opened_;
};

}  // namespace zov
