#include "gui/shell/PasswordDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <initializer_list>

#include "gui/shell/Prompter.h"
#include "gui/shell/WindowThread.h"
#include "gui/widgets/DialogKeyFilter.h"
#include "gui/widgets/MyButton.h"
#include "gui/widgets/Resources.h"

namespace zov::gui {

namespace {

QLineEdit* PasswordEdit(QWidget* parent, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setGeometry(geometry);
    return edit;
}

// "显示密码": ticked, the edits show their text.
void AddShowPasswordBox(QWidget* parent, const QRect& geometry, std::initializer_list<QLineEdit*> edits) {
    auto* box = new QCheckBox("显示密码", parent);
    box->setGeometry(geometry);
    const QList<QLineEdit*> targets(edits);
    QObject::connect(box, &QCheckBox::toggled, parent, [targets](bool shown) {
        for (QLineEdit* edit : targets) edit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
}

CMyButton* Button(const QString& text, QWidget* parent, const QRect& geometry) {
    auto* button = new CMyButton(text, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

void SetUpDialog(QDialog& dialog, const QString& caption, const QSize& size) {
    dialog.setWindowTitle(caption);
    dialog.setWindowIcon(LoadIcon(182));
    dialog.setFixedSize(size);
    InstallDialogKeyFilter(&dialog);
}

}  // namespace

// The prompt keeps its own lines; the dialog grows to hold the widest and all of them.
CInputPwdDlg::CInputPwdDlg(const QString& prompt, QWidget* parent) : QDialog(parent) {
    constexpr int kMargin = 15;
    auto* label = new QLabel(prompt, this);
    const QSize text = label->sizeHint();
    const int width = std::max(290, text.width());
    label->setGeometry(kMargin, 10, width, text.height());
    const int editTop = label->geometry().bottom() + 1 + 6;
    edit_ = PasswordEdit(this, {kMargin, editTop, width, 24});
    const int buttonsTop = editTop + 54;
    const int right = kMargin + width;
    AddShowPasswordBox(this, {kMargin, buttonsTop, 110, 24}, {edit_});
    connect(Button("确 定", this, {right - 165, buttonsTop, 75, 26}), &QPushButton::clicked, this,
            &CInputPwdDlg::accept);
    connect(Button("取 消", this, {right - 75, buttonsTop, 75, 26}), &QPushButton::clicked, this,
            &CInputPwdDlg::reject);
    SetUpDialog(*this, "请输入密码", {right + kMargin, buttonsTop + 36});
    edit_->setFocus();
}

void CInputPwdDlg::accept() {
    password_ = edit_->text();
    edit_->clear();
    cancelled_ = false;
    QDialog::accept();
}

void CInputPwdDlg::reject() {
    password_.clear();
    edit_->clear();
    cancelled_ = true;
    QDialog::reject();
}

CModifyPwdDlg::CModifyPwdDlg(const QString& currentPassword, QWidget* parent)
    : QDialog(parent), current_(currentPassword) {
    SetUpDialog(*this, "修改密码", {310, 190});
    const QStringList labels = {"旧密码：", "新密码：", "重复新密码："};
    QLineEdit** edits[] = {&old_, &new_, &repeat_};
    for (int row = 0; row < 3; ++row) {
        auto* label = new QLabel(labels[row], this);
        label->setGeometry(15, 15 + row * 34, 90, 24);
        *edits[row] = PasswordEdit(this, {105, 15 + row * 34, 190, 24});
    }
    AddShowPasswordBox(this, {15, 150, 110, 24}, {old_, new_, repeat_});
    connect(Button("确认", this, {130, 150, 75, 26}), &QPushButton::clicked, this, &CModifyPwdDlg::accept);
    connect(Button("取消", this, {220, 150, 75, 26}), &QPushButton::clicked, this, &CModifyPwdDlg::reject);
    old_->setFocus();
}

void CModifyPwdDlg::accept() {
    changed_ = false;
    if (old_->text() != current_) {
        ShowBox(this, "旧密码输入错误", "错误", Prompter::Icon::Error);
        QDialog::reject();
        return;
    }
    const QString typed = new_->text();
    if (typed != repeat_->text()) {
        const auto answer = ShowBox(this, "两次密码输入不一致，请重新输入。", "重新输入",
                                    Prompter::Icon::Information, Prompter::Buttons::OkCancel);
        if (answer == Prompter::Answer::Cancel) QDialog::reject();
        return;
    }
    if (typed == current_ &&
        ShowBox(this, "您输入的新密码和密码一样，是否需要重新输入？", "重新输入？", Prompter::Icon::Question,
                Prompter::Buttons::YesNo) == Prompter::Answer::Yes) {
        new_->clear();
        repeat_->clear();
        return;
    }
    newPassword_ = typed;
    changed_ = true;
    QDialog::accept();
}

PasswordAnswer AskPassword(const QString& prompt, std::stop_token stop) {
    PasswordAnswer answer;
    AskOnWindowThread(
        [&] {
            if (stop.stop_requested()) return;
            CInputPwdDlg dialog(prompt, QApplication::activeWindow());
            dialog.exec();
            answer = PasswordAnswer{dialog.Password(), dialog.Cancelled()};
        },
        stop);
    return answer;
}

}  // namespace zov::gui
