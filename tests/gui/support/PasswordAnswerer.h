#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QAbstractButton;
class QWidget;

namespace zov::gui {
class CInputPwdDlg;
}

namespace zov::gui::test {

// The button of the dialog whose text is text; nullptr when none is.
QAbstractButton* ButtonOf(QWidget& dialog, const QString& text);

// Enters the password into the password dialog's edit and confirms it.
void TypeAndConfirm(CInputPwdDlg& dialog, const QString& password);

// Answers every password dialog that opens: types its answer and clicks the dialog's buttons. Counts the
// dialogs open at one time.
class PasswordAnswerer : public QObject {
  public:
    explicit PasswordAnswerer(std::function<void(CInputPwdDlg&)> answer);
    int Answered() const { return answered_; }
    int MostOpenAtOnce() const { return mostOpen_; }

  private:
    void Poll();

    std::function<void(CInputPwdDlg&)> answer_;
    QTimer timer_;
    int answered_ = 0;
    int mostOpen_ = 0;
    bool handling_ = false;
};

}  // namespace zov::gui::test
