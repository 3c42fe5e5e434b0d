#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/jobs/JobContext.h"

namespace zov::test {

// Keeps every status line of the jobs it is given, and "<end>" for every end of their status.
class RecordingStatus : public StatusSink {
  public:
    static constexpr const char* kEnd = "<end>";

    void Status(const std::string& text) override { Add(text); }
    void EndStatus() override { Add(kEnd); }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    void Add(const std::string& line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Answers password prompts from a script (cancelled once the script is used up) and Yes/No questions with
// No; keeps every prompt, question and warning. The hook runs before each password answer.
class ScriptedAsker : public Asker {
  public:
    explicit ScriptedAsker(std::deque<PasswordAnswer> answers = {}) : answers_(std::move(answers)) {}

    PasswordAnswer AskPassword(const std::string& prompt) override {
        std::lock_guard lock(mutex_);
        prompts_.push_back(prompt);
        if (hook_) hook_();
        if (answers_.empty()) return {"", true};
        PasswordAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    bool AskYesNo(const std::string& question, const std::string& caption) override {
        std::lock_guard lock(mutex_);
        prompts_.push_back(caption + ": " + question);
        return false;
    }
    void Warn(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(mutex_);
        prompts_.push_back(caption + ": " + text);
    }
    void SetHook(std::function<void()> hook) { hook_ = std::move(hook); }
    std::vector<std::string> Prompts() const {
        std::lock_guard lock(mutex_);
        return prompts_;
    }

  private:
    mutable std::mutex mutex_;
    std::deque<PasswordAnswer> answers_;
    std::function<void()> hook_;
    std::vector<std::string> prompts_;
};

// The context of a job under test: a recording status sink, an asker with the answers and a stop of its
// own.
struct RecordingJob {
    explicit RecordingJob(std::deque<PasswordAnswer> answers = {}) : asker(std::move(answers)) {}

    RecordingStatus status;
    ScriptedAsker asker;
    std::stop_source stop;

    JobContext Context() { return {status, asker, stop.get_token()}; }
};

}  // namespace zov::test
