#include "gui/shell/Prompter.h"

#include <QMessageBox>
#include <atomic>

namespace zov::gui {

namespace {

std::atomic<Prompter*> installed{nullptr};

QMessageBox::Icon ToIcon(Prompter::Icon icon) {
    switch (icon) {
        case Prompter::Icon::Information:
            return QMessageBox::Information;
        case Prompter::Icon::Warning:
            return QMessageBox::Warning;
        case Prompter::Icon::Error:
            return QMessageBox::Critical;
        case Prompter::Icon::Question:
            return QMessageBox::Question;
        case Prompter::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToButtons(Prompter::Buttons buttons) {
    switch (buttons) {
        case Prompter::Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Prompter::Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Prompter::Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case Prompter::Buttons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton ToButton(Prompter::Answer answer) {
    switch (answer) {
        case Prompter::Answer::Cancel:
            return QMessageBox::Cancel;
        case Prompter::Answer::Yes:
            return QMessageBox::Yes;
        case Prompter::Answer::No:
            return QMessageBox::No;
        case Prompter::Answer::Ok:
            break;
    }
    return QMessageBox::Ok;
}

Prompter::Answer FromButton(int button) {
    switch (button) {
        case QMessageBox::Yes:
            return Prompter::Answer::Yes;
        case QMessageBox::No:
            return Prompter::Answer::No;
        case QMessageBox::Ok:
            return Prompter::Answer::Ok;
        default:
            return Prompter::Answer::Cancel;
    }
}

}  // namespace

Prompter::Answer MessageBoxPrompter::Show(QWidget* owner, const Box& box) {
    QMessageBox message(ToIcon(box.icon), box.caption, box.text, ToButtons(box.buttons), owner);
    message.setDefaultButton(ToButton(box.defaultAnswer));
    return FromButton(message.exec());
}

Prompter& CurrentPrompter() {
    static MessageBoxPrompter messageBoxes;
    Prompter* prompter = installed.load();
    return prompter != nullptr ? *prompter : messageBoxes;
}

void SetPrompter(Prompter* prompter) { installed.store(prompter); }

Prompter::Answer ShowBox(QWidget* owner, const QString& text, const QString& caption, Prompter::Icon icon,
                         Prompter::Buttons buttons, Prompter::Answer defaultAnswer) {
    return CurrentPrompter().Show(owner, {text, caption, icon, buttons, defaultAnswer});
}

}  // namespace zov::gui
