#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <atomic>
#include <chrono>
#include <stop_token>
#include <thread>

#include "gui/shell/PasswordDialogs.h"
#include "gui/shell/WindowAsker.h"
#include "support/PasswordAnswerer.h"
#include "support/RecordingPrompter.h"

using zov::gui::CInputPwdDlg;
using zov::gui::Prompter;
using zov::gui::WindowAsker;
using zov::gui::test::PasswordAnswerer;
using zov::gui::test::RecordingPrompter;

class WindowAskerTest : public QObject {
    Q_OBJECT

  private slots:
    // A job on a worker thread asks; the dialog runs on the window thread and its answer comes back.
    void AnswersComeFromTheWindowThread_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("cancelled") << false;
    }
    void AnswersComeFromTheWindowThread() {
        QFETCH(bool, confirm);
        WindowAsker asker({});
        zov::PasswordAnswer answer{"unset", !confirm};
        std::atomic<bool> done{false};
        QString prompt;
        PasswordAnswerer answerer([&](CInputPwdDlg& dialog) {
            prompt = dialog.findChild<QLabel*>()->text();
            if (confirm) {
                dialog.findChild<QLineEdit*>()->setText("密码 1");
                dialog.accept();
            } else {
                dialog.reject();
            }
        });
        std::jthread job([&] {
            answer = asker.AskPassword("归档 a.rar 的密码");
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
        QCOMPARE(prompt, QString("归档 a.rar 的密码"));
        QCOMPARE(answer.password, confirm ? std::string("密码 1") : std::string());
        QCOMPARE(answer.cancelled, !confirm);
    }

    void QuestionsAndWarningsGoThroughThePrompter() {
        RecordingPrompter prompter;
        prompter.Script({Prompter::Answer::Yes, Prompter::Answer::No, Prompter::Answer::Ok});
        WindowAsker asker({});
        std::atomic<int> yes{-1};
        std::atomic<int> no{-1};
        std::atomic<bool> warned{false};
        std::jthread job([&] {
            yes = asker.AskYesNo("继续吗？", "还原");
            no = asker.AskYesNo("再继续吗？", "还原");
            asker.Warn("数据库内容为空", "警告");
            warned = true;
        });
        QTRY_VERIFY(warned.load());
        QCOMPARE(no.load(), 0);
        QCOMPARE(yes.load(), 1);
        QCOMPARE(prompter.Texts(), (QStringList{"继续吗？", "再继续吗？", "数据库内容为空"}));
        QCOMPARE(prompter.Boxes().front().caption, QString("还原"));
        QCOMPARE(prompter.Boxes().front().buttons, Prompter::Buttons::YesNo);
        QCOMPARE(prompter.Boxes().back().caption, QString("警告"));
        QCOMPARE(prompter.Boxes().back().buttons, Prompter::Buttons::Ok);
        QCOMPARE(prompter.Boxes().back().icon, Prompter::Icon::Warning);
    }

    // A job whose stop was requested asks nothing: no dialog, the prompt cancelled, the question No, no
    // warning.
    void AStoppedJobAsksNothing() {
        RecordingPrompter prompter;
        prompter.Script({Prompter::Answer::Yes});
        std::stop_source stop;
        stop.request_stop();
        WindowAsker asker(stop.get_token());
        zov::PasswordAnswer answer{"unset", false};
        std::atomic<int> yes{-1};
        PasswordAnswerer answerer([](CInputPwdDlg& dialog) { dialog.accept(); });
        std::jthread job([&] {
            answer = asker.AskPassword("密码");
            asker.Warn("数据库内容为空", "警告");
            yes = asker.AskYesNo("继续吗？", "还原");
        });
        QTRY_COMPARE(yes.load(), 0);
        QVERIFY(answer.cancelled);
        QCOMPARE(answerer.Answered(), 0);
        QCOMPARE(prompter.Texts(), QStringList());
    }

    // The window thread stops a job and waits for it without serving calls (as a page does when it
    // closes): the job's pending question, or its wait for another job's question to end, is given up.
    void AStoppedJobNeverHoldsUpAWindowThreadWaitingForIt_data() {
        QTest::addColumn<bool>("behindAnother");
        QTest::newRow("its question queued") << false;
        QTest::newRow("waiting for its turn") << true;
    }
    void AStoppedJobNeverHoldsUpAWindowThreadWaitingForIt() {
        QFETCH(bool, behindAnother);
        RecordingPrompter prompter;
        prompter.Script({Prompter::Answer::Yes});
        std::atomic<int> first{-1};
        std::jthread other;
        if (behindAnother) {
            other = std::jthread([&] { first = WindowAsker({}).AskYesNo("先问吗？", "还原"); });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::stop_source stop;
        std::atomic<int> yes{-1};
        std::jthread job([&] { yes = WindowAsker(stop.get_token()).AskYesNo("继续吗？", "还原"); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.request_stop();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (yes.load() == -1 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const bool gaveUp = yes.load() == 0;
        QTRY_VERIFY(yes.load() != -1);  // serves the calls, so that a job that still waits comes free
        QVERIFY(gaveUp);
        if (behindAnother) QTRY_COMPARE(first.load(), 1);
        QCOMPARE(prompter.Texts(), behindAnother ? QStringList{"先问吗？"} : QStringList());
    }
};

QTEST_MAIN(WindowAskerTest)
#include "WindowAskerTest.moc"
