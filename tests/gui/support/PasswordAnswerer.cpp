#include "support/PasswordAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>

#include "gui/shell/PasswordDialogs.h"
#include "support/GuiTestSupport.h"

namespace zov::gui::test {

QAbstractButton* ButtonOf(QWidget& dialog, const QString& text) {
    for (auto* button : dialog.findChildren<QAbstractButton*>()) {
        if (button->text() == text) return button;
    }
    return nullptr;
}

void TypeAndConfirm(CInputPwdDlg& dialog, const QString& password) {
    dialog.findChildren<QLineEdit*>().first()->insert(password);
    ButtonOf(dialog, "确 定")->click();
}

PasswordAnswerer::PasswordAnswerer(std::function<void(CInputPwdDlg&)> answer) : answer_(std::move(answer)) {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
}

void PasswordAnswerer::Poll() {
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<CInputPwdDlg*>(widget) != nullptr && widget->isVisible()) ++open;
    }
    mostOpen_ = std::max(mostOpen_, open);
    auto* dialog = qobject_cast<CInputPwdDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr || handling_) return;
    handling_ = true;
    ++answered_;
    SaveScreenshot(*dialog, "input-password-dialog");
    answer_(*dialog);
    handling_ = false;
}

}  // namespace zov::gui::test
