#pragma once

#include <QPointer>
#include <QWidget>
#include <stop_token>

#include "engine/jobs/Asker.h"

namespace zov::gui {

// The asker of a job that the management program runs on a worker thread: each question is put to the
// user on the window thread (a password through AskPassword's dialog, a Yes/No question through the
// Prompter, over owner) while the job's thread waits for the answer. A stop of the job, or the end of the
// application, ends the wait with a cancelled password or a No.
class WindowAsker final : public Asker {
  public:
    WindowAsker(QPointer<QWidget> owner, std::stop_token stop)
        : owner_(std::move(owner)), stop_(std::move(stop)) {}

    zov::PasswordAnswer AskPassword(const std::string& prompt) override;
    bool AskYesNo(const std::string& question, const std::string& caption) override;

  private:
    QPointer<QWidget> owner_;
    std::stop_token stop_;
};

}  // namespace zov::gui
