#pragma once

#include <stop_token>
#include <string>

#include "engine/jobs/Asker.h"

namespace zov::gui {

// The asker of a job that the management program runs on a worker thread: a password prompt is
// AskPassword's dialog, a Yes/No question a box over the active window (warning icon, No pressed by
// Enter), a warning a box with OK, all on the window thread while the job waits. Once the job's stop is
// requested every prompt is cancelled, every question answered No and no warning shown.
class WindowAsker final : public Asker {
  public:
    explicit WindowAsker(std::stop_token stop) : stop_(std::move(stop)) {}

    zov::PasswordAnswer AskPassword(const std::string& prompt) override;
    bool AskYesNo(const std::string& question, const std::string& caption) override;
    void Warn(const std::string& text, const std::string& caption) override;

  private:
    std::stop_token stop_;
};

}  // namespace zov::gui
