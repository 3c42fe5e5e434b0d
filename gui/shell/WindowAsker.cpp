#include "gui/shell/WindowAsker.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "gui/shell/PasswordDialogs.h"
#include "gui/shell/Prompter.h"

namespace zov::gui {

namespace {

// Runs ask on the window thread and waits for its answer, for the stop, or for the application's end;
// nullopt when no answer came.
template <typename Answer>
std::optional<Answer> OnWindowThread(const std::function<Answer()>& ask, const std::stop_token& stop) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || stop.stop_requested()) return std::nullopt;
    if (QThread::currentThread() == application->thread()) return ask();

    struct Exchange {
        std::mutex mutex;
        std::condition_variable_any answered;
        std::optional<Answer> answer;
        bool dropped = false;
    };
    auto exchange = std::make_shared<Exchange>();
    // The call keeps the exchange: it may still run after the worker stopped waiting. A call that the
    // window thread drops (the application ends) marks the exchange, so the wait ends.
    class Guard {
      public:
        explicit Guard(std::shared_ptr<Exchange> exchange) : exchange_(std::move(exchange)) {}
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        ~Guard() {
            std::lock_guard lock(exchange_->mutex);
            exchange_->dropped = true;
            exchange_->answered.notify_all();
        }

      private:
        std::shared_ptr<Exchange> exchange_;
    };
    auto guard = std::make_shared<Guard>(exchange);
    QMetaObject::invokeMethod(
        application,
        [exchange, guard, ask] {
            Answer answer = ask();
            std::lock_guard lock(exchange->mutex);
            exchange->answer = std::move(answer);
            exchange->answered.notify_all();
        },
        Qt::QueuedConnection);
    guard.reset();
    std::unique_lock lock(exchange->mutex);
    exchange->answered.wait(lock, stop, [&] { return exchange->answer.has_value() || exchange->dropped; });
    return exchange->answer;
}

}  // namespace

zov::PasswordAnswer WindowAsker::AskPassword(const std::string& prompt) {
    const std::function<gui::PasswordAnswer()> ask = [text = QString::fromStdString(prompt)] {
        return gui::AskPassword(text);
    };
    const std::optional<gui::PasswordAnswer> answer = OnWindowThread(ask, stop_);
    if (!answer) return {"", true};
    return {answer->password.toStdString(), answer->cancelled};
}

bool WindowAsker::AskYesNo(const std::string& question, const std::string& caption) {
    const std::function<bool()> ask = [owner = owner_, text = QString::fromStdString(question),
                                       title = QString::fromStdString(caption)] {
        return ShowBox(owner.data(), text, title, Prompter::Icon::Question, Prompter::Buttons::YesNo,
                       Prompter::Answer::Yes) == Prompter::Answer::Yes;
    };
    return OnWindowThread(ask, stop_).value_or(false);
}

}  // namespace zov::gui
