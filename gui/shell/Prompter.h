#pragma once

#include <QString>

class QWidget;

namespace zov::gui {

// Every message box of the program goes through the current Prompter, so tests can script the answers.
class Prompter {
  public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Box {
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer defaultAnswer = Answer::Ok;  // the button that Enter presses
    };

    virtual ~Prompter() = default;
    // Shows the box modally over owner (nullptr: no owner) and returns the button pressed. Window thread
    // only.
    virtual Answer Show(QWidget* owner, const Box& box) = 0;
};

// Production prompter: a QMessageBox.
class MessageBoxPrompter : public Prompter {
  public:
    Answer Show(QWidget* owner, const Box& box) override;
};

Prompter& CurrentPrompter();
// Installs a prompter for the whole process; nullptr restores the message boxes. The caller keeps ownership.
void SetPrompter(Prompter* prompter);

// CurrentPrompter().Show(owner, {text, caption, icon, buttons, defaultAnswer}).
Prompter::Answer ShowBox(QWidget* owner, const QString& text, const QString& caption,
                         Prompter::Icon icon = Prompter::Icon::None,
                         Prompter::Buttons buttons = Prompter::Buttons::Ok,
                         Prompter::Answer defaultAnswer = Prompter::Answer::Ok);

}  // namespace zov::gui
