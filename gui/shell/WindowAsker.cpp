#include "gui/shell/WindowAsker.h"

#include <QApplication>

#include "gui/shell/PasswordDialogs.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/WindowThread.h"

namespace zov::gui {

zov::PasswordAnswer WindowAsker::AskPassword(const std::string& prompt) {
    const gui::PasswordAnswer answer = gui::AskPassword(QString::fromStdString(prompt), stop_);
    return {answer.password.toStdString(), answer.cancelled};
}

bool WindowAsker::AskYesNo(const std::string& question, const std::string& caption) {
    bool yes = false;
    AskOnWindowThread(
        [&] {
            if (stop_.stop_requested()) return;
            yes = ShowBox(QApplication::activeWindow(), QString::fromStdString(question),
                          QString::fromStdString(caption), Prompter::Icon::Warning, Prompter::Buttons::YesNo,
                          Prompter::Answer::No) == Prompter::Answer::Yes;
        },
        stop_);
    return yes;
}

void WindowAsker::Warn(const std::string& text, const std::string& caption) {
    AskOnWindowThread(
        [&] {
            if (stop_.stop_requested()) return;
            ShowBox(QApplication::activeWindow(), QString::fromStdString(text),
                    QString::fromStdString(caption), Prompter::Icon::Warning);
        },
        stop_);
}

}  // namespace zov::gui
