#pragma once

#include <QDialog>
#include <QString>
#include <stop_token>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace zov::gui {

// Asks for the password of an archive whose password was wrong ("请输入密码"). Cancel, the close box and
// the window thread's end all count as cancelled, with an empty password.
class CInputPwdDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CInputPwdDlg(const QString& prompt, QWidget* parent = nullptr);

    QString Password() const { return password_; }
    bool Cancelled() const { return cancelled_; }

  public slots:
    void accept() override;
    void reject() override;

  private:
    QLineEdit* edit_;
    QString password_;
    bool cancelled_ = true;
};

// Sets or changes the compression password of a task ("修改密码"): the old password must match the
// current one, the new one must be typed twice. An empty new password removes the password.
class CModifyPwdDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CModifyPwdDlg(const QString& currentPassword, QWidget* parent = nullptr);

    // The accepted new password; Changed() tells whether one was accepted.
    QString NewPassword() const { return newPassword_; }
    bool Changed() const { return changed_; }

  public slots:
    void accept() override;

  private:
    QString current_;
    QString newPassword_;
    bool changed_ = false;
    QLineEdit* old_;
    QLineEdit* new_;
    QLineEdit* repeat_;
};

struct PasswordAnswer {
    QString password;
    bool cancelled = true;
};

// Shows CInputPwdDlg with the prompt on the window thread and returns its answer. From another thread the
// call blocks until the dialog is answered (one request at a time, AskOnWindowThread); on the window thread
// it runs the dialog directly. Without a running application, or when the window thread ends first, the
// answer is cancelled; so it is, without a dialog, once stop is requested (also for a request that was
// waiting for its turn).
PasswordAnswer AskPassword(const QString& prompt, std::stop_token stop = {});

}  // namespace zov::gui
