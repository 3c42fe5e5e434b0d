#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

#include "engine/restore/PasswordRetry.h"
#include "gui/shell/PasswordDialogs.h"
#include "support/GuiTestSupport.h"
#include "support/PasswordAnswerer.h"
#include "support/RecordingPrompter.h"

using zov::gui::CInputPwdDlg;
using zov::gui::CModifyPwdDlg;
using zov::gui::PasswordAnswer;
using zov::gui::Prompter;
using zov::gui::test::ButtonOf;
using zov::gui::test::PasswordAnswerer;
using zov::gui::test::TypeAndConfirm;

namespace {

QList<QLineEdit*> EditsOf(QWidget& dialog) { return dialog.findChildren<QLineEdit*>(); }

using DialogMaker = std::function<std::unique_ptr<QDialog>()>;

}  // namespace

Q_DECLARE_METATYPE(DialogMaker)

class PasswordDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void InputDialogAnswers_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("confirmed") << "geheim 1"
                                   << "确 定"
                                   << "geheim 1" << false;
        QTest::newRow("confirmed empty") << ""
                                         << "确 定"
                                         << "" << false;
        QTest::newRow("cancelled") << "geheim"
                                   << "取 消"
                                   << "" << true;
        QTest::newRow("close box") << "geheim"
                                   << "close"
                                   << "" << true;
    }
    void InputDialogAnswers() {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, password);
        QFETCH(bool, cancelled);
        CInputPwdDlg dialog("压缩包密码错误，请输入密码：");
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("请输入密码"));
        QLineEdit* edit = EditsOf(dialog).first();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        if (how == "close") {
            dialog.close();
        } else {
            ButtonOf(dialog, how)->click();
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Password(), password);
        QCOMPARE(dialog.Cancelled(), cancelled);
        QCOMPARE(edit->text(), QString());
    }

    void ShowPasswordRevealsTheEdits() {
        CModifyPwdDlg dialog("alt");
        dialog.show();
        zov::gui::test::SaveScreenshot(dialog, "modify-password-dialog");
        auto* box = dialog.findChild<QCheckBox*>();
        QCOMPARE(box->text(), QString("显示密码"));
        box->click();
        for (QLineEdit* edit : EditsOf(dialog)) QCOMPARE(edit->echoMode(), QLineEdit::Normal);
        box->click();
        for (QLineEdit* edit : EditsOf(dialog)) QCOMPARE(edit->echoMode(), QLineEdit::Password);
    }

    void EveryQuestionShowsItsWholeText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<DialogMaker>("make");
        QTest::newRow("wrong restore password") << "wrong-password-dialog" << DialogMaker([] {
            const std::string item = "/srv/backup/财务部/2026年/十二月/第四季度报表_最终版_全部附件.rar";
            return std::make_unique<CInputPwdDlg>(QString::fromStdString(zov::PasswordPrompt(item)));
        });
        QTest::newRow("short prompt")
            << "short-password-dialog"
            << DialogMaker([] { return std::make_unique<CInputPwdDlg>("请输入[a.rar]的密码"); });
        QTest::newRow("modify") << "modify-password-dialog"
                                << DialogMaker([] { return std::make_unique<CModifyPwdDlg>("alt"); });
    }
    void EveryQuestionShowsItsWholeText() {
        QFETCH(QString, name);
        QFETCH(DialogMaker, make);
        const std::unique_ptr<QDialog> dialog = make();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        zov::gui::test::SaveScreenshot(*dialog, name);
        QList<QWidget*> controls;
        for (QWidget* control : dialog->findChildren<QWidget*>())
            if (qobject_cast<QLabel*>(control) == nullptr) controls.append(control);
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            const QRect where = label->geometry();
            const QSize needed = label->sizeHint();
            QVERIFY2(where.width() >= needed.width() && where.height() >= needed.height(),
                     qPrintable(label->text()));
            QVERIFY2(dialog->rect().contains(where), qPrintable(label->text()));
            for (const QWidget* control : controls) {
                if (control->parentWidget() == dialog.get())
                    QVERIFY2(!where.intersects(control->geometry()), qPrintable(label->text()));
            }
        }
    }

    void AskPasswordOnTheWindowThread_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }
    void AskPasswordOnTheWindowThread() {
        QFETCH(bool, confirm);
        QString promptShown;
        PasswordAnswerer answerer([&](CInputPwdDlg& dialog) {
            promptShown = dialog.findChild<QLabel*>()->text();
            if (confirm) {
                TypeAndConfirm(dialog, "pw-1");
            } else {
                ButtonOf(dialog, "取 消")->click();
            }
        });
        const PasswordAnswer answer = zov::gui::AskPassword("请输入[a.rar]的密码");
        QCOMPARE(promptShown, QString("请输入[a.rar]的密码"));
        QCOMPARE(answer.password, confirm ? QString("pw-1") : QString());
        QCOMPARE(answer.cancelled, !confirm);
    }

    void WorkersGetTheirOwnAnswersOneAtATime() {
        int next = 0;
        PasswordAnswerer answerer([&next](CInputPwdDlg& dialog) {
            const QString prompt = dialog.findChild<QLabel*>()->text();
            if (prompt == "cancel me") {
                ButtonOf(dialog, "取 消")->click();
            } else {
                TypeAndConfirm(dialog, "answer to " + prompt);
            }
            ++next;
        });
        PasswordAnswer first, second, third;
        std::atomic<int> done{0};
        std::jthread a([&] {
            first = zov::gui::AskPassword("one");
            ++done;
        });
        std::jthread b([&] {
            second = zov::gui::AskPassword("cancel me");
            ++done;
        });
        std::jthread c([&] {
            third = zov::gui::AskPassword("three");
            ++done;
        });
        QTRY_COMPARE_WITH_TIMEOUT(done.load(), 3, 10000);
        QCOMPARE(first.password, QString("answer to one"));
        QVERIFY(!first.cancelled);
        QCOMPARE(second.password, QString());
        QVERIFY(second.cancelled);
        QCOMPARE(third.password, QString("answer to three"));
        QVERIFY(!third.cancelled);
        QCOMPARE(answerer.Answered(), 3);
        QCOMPARE(answerer.MostOpenAtOnce(), 1);
    }

    // Once a job's stop is requested its prompt is cancelled without a dialog, also one that was waiting for
    // another worker's dialog to close.
    void AStoppedJobsPromptIsCancelledWithoutADialog() {
        std::stop_source stop;
        std::atomic<bool> secondAsking{false};
        PasswordAnswerer answerer([&](CInputPwdDlg& dialog) {
            if (!QTest::qWaitFor([&] { return secondAsking.load(); })) qWarning("the second never asked");
            stop.request_stop();
            TypeAndConfirm(dialog, "first");
        });
        PasswordAnswer first, second;
        std::atomic<int> done{0};
        std::jthread a([&] {
            first = zov::gui::AskPassword("first");
            ++done;
        });
        QTRY_COMPARE(answerer.Answered(), 1);
        std::jthread b([&] {
            secondAsking = true;
            second = zov::gui::AskPassword("second", stop.get_token());
            ++done;
        });
        QTRY_COMPARE_WITH_TIMEOUT(done.load(), 2, 10000);
        QCOMPARE(first.password, QString("first"));
        QVERIFY(second.cancelled);
        QCOMPARE(zov::gui::AskPassword("on the window thread", stop.get_token()).cancelled, true);
        QCOMPARE(answerer.Answered(), 1);
    }

    void ModifyDialogRules_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("typed");  // old, new, repeat
        QTest::addColumn<QList<Prompter::Answer>>("answers");
        QTest::addColumn<QString>("outcome");  // accepted, rejected, open
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QStringList>("boxes");
        using A = Prompter::Answer;
        const QString mismatch = "两次密码输入不一致，请重新输入。";
        const QString same = "您输入的新密码和密码一样，是否需要重新输入？";
        QTest::newRow("new password") << "alt" << QStringList{"alt", "neu", "neu"} << QList<A>{} << "accepted"
                                      << "neu" << QStringList{};
        QTest::newRow("wrong old password")
            << "alt" << QStringList{"ALT", "neu", "neu"} << QList<A>{} << "rejected"
            << "" << QStringList{"旧密码输入错误"};
        QTest::newRow("repeat differs, OK")
            << "alt" << QStringList{"alt", "neu", "nue"} << QList<A>{A::Ok} << "open"
            << "" << QStringList{mismatch};
        QTest::newRow("repeat differs, cancel")
            << "alt" << QStringList{"alt", "neu", "nue"} << QList<A>{A::Cancel} << "rejected"
            << "" << QStringList{mismatch};
        QTest::newRow("same again, retype")
            << "alt" << QStringList{"alt", "alt", "alt"} << QList<A>{A::Yes} << "open"
            << "" << QStringList{same};
        QTest::newRow("same again, keep")
            << "alt" << QStringList{"alt", "alt", "alt"} << QList<A>{A::No} << "accepted"
            << "alt" << QStringList{same};
        QTest::newRow("password removed") << "alt" << QStringList{"alt", "", ""} << QList<A>{} << "accepted"
                                          << "" << QStringList{};
        QTest::newRow("first password") << "" << QStringList{"", "neu", "neu"} << QList<A>{} << "accepted"
                                        << "neu" << QStringList{};
    }
    void ModifyDialogRules() {
        QFETCH(QString, current);
        QFETCH(QStringList, typed);
        QFETCH(QList<Prompter::Answer>, answers);
        QFETCH(QString, outcome);
        QFETCH(QString, newPassword);
        QFETCH(QStringList, boxes);
        zov::gui::test::RecordingPrompter prompter;
        prompter.Script(answers);
        CModifyPwdDlg dialog(current);
        dialog.show();
        const QList<QLineEdit*> edits = EditsOf(dialog);
        QCOMPARE(edits.size(), 3);
        for (int i = 0; i < 3; ++i) QTest::keyClicks(edits[i], typed[i]);
        ButtonOf(dialog, "确认")->click();
        QCOMPARE(prompter.Texts(), boxes);
        QCOMPARE(dialog.isVisible(), outcome == "open");
        if (outcome != "open") {
            QCOMPARE(dialog.result(),
                     outcome == "accepted" ? int(QDialog::Accepted) : int(QDialog::Rejected));
        }
        QCOMPARE(dialog.Changed(), outcome == "accepted");
        QCOMPARE(dialog.NewPassword(), newPassword);
        if (QTest::currentDataTag() == QString("same again, retype")) {
            QCOMPARE(edits[1]->text(), QString());
            QCOMPARE(edits[2]->text(), QString());
            QCOMPARE(edits[0]->text(), QString("alt"));
        }
    }
};

QTEST_MAIN(PasswordDialogsTest)
#include "PasswordDialogsTest.moc"
