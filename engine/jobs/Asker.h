#pragma once

#include <string>

namespace zov {

// The user's answer to a password prompt.
struct PasswordAnswer {
    std::string password;  // "" gives none
    bool cancelled = false;
};

// Who answers a job's questions in the middle of its run, given by the job's caller. Called on the job's
// thread; each call blocks until the user has answered.
class Asker {
  public:
    virtual ~Asker() = default;

    // Asks for an archive password with the prompt text.
    virtual PasswordAnswer AskPassword(const std::string& prompt) = 0;
    // A Yes/No question under the caption: true for Yes, false for No or a box closed unanswered.
    virtual bool AskYesNo(const std::string& question, const std::string& caption) = 0;
    // A warning under the caption, shown until the user closes it.
    virtual void Warn(const std::string& text, const std::string& caption) = 0;
};

// The asker of a program that has nobody to ask (the service): every prompt is cancelled, every question
// answered No, every warning left to the log.
class UnattendedAsker final : public Asker {
  public:
    PasswordAnswer AskPassword(const std::string&) override { return {"", true}; }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    void Warn(const std::string&, const std::string&) override {}
};

}  // namespace zov
