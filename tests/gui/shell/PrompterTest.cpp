#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "gui/shell/Prompter.h"
#include "support/GuiTestSupport.h"
#include "support/RecordingPrompter.h"

using zov::gui::Prompter;

namespace {

// Acts on the message box once it is shown: a screenshot, then the given key or button.
void WhenBoxShows(std::function<void(QMessageBox&)> act) {
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        zov::gui::test::SaveScreenshot(*box, "message-box");
        act(*box);
    });
}

}  // namespace

class PrompterTest : public QObject {
    Q_OBJECT

  private slots:
    void MessageBoxAnswersWithThePressedButton_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("pressed");
        QTest::addColumn<int>("expected");
        QTest::newRow("ok") << int(Prompter::Buttons::Ok) << int(QMessageBox::Ok)
                            << int(Prompter::Answer::Ok);
        QTest::newRow("cancel") << int(Prompter::Buttons::OkCancel) << int(QMessageBox::Cancel)
                                << int(Prompter::Answer::Cancel);
        QTest::newRow("yes") << int(Prompter::Buttons::YesNo) << int(QMessageBox::Yes)
                             << int(Prompter::Answer::Yes);
        QTest::newRow("no") << int(Prompter::Buttons::YesNo) << int(QMessageBox::No)
                            << int(Prompter::Answer::No);
    }
    void MessageBoxAnswersWithThePressedButton() {
        QFETCH(int, buttons);
        QFETCH(int, pressed);
        QFETCH(int, expected);
        WhenBoxShows([pressed](QMessageBox& box) {
            box.button(static_cast<QMessageBox::StandardButton>(pressed))->click();
        });
        const auto answer = zov::gui::ShowBox(nullptr, "设置保存成功！", "成功", Prompter::Icon::Information,
                                              static_cast<Prompter::Buttons>(buttons));
        QCOMPARE(int(answer), expected);
    }

    void EnterPressesTheDefaultButton() {
        WhenBoxShows([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); });
        const auto answer = zov::gui::ShowBox(nullptr, "继续？", "警告", Prompter::Icon::Warning,
                                              Prompter::Buttons::YesNo, Prompter::Answer::No);
        QCOMPARE(answer, Prompter::Answer::No);
    }

    void InstalledPrompterRecordsAndAnswersFromItsScript() {
        zov::gui::test::RecordingPrompter prompter;
        prompter.Script({Prompter::Answer::Yes});
        QCOMPARE(zov::gui::ShowBox(nullptr, "一", "A", Prompter::Icon::Question, Prompter::Buttons::YesNo,
                                   Prompter::Answer::No),
                 Prompter::Answer::Yes);
        QCOMPARE(zov::gui::ShowBox(nullptr, "二", "B", Prompter::Icon::Question, Prompter::Buttons::YesNo,
                                   Prompter::Answer::No),
                 Prompter::Answer::No);
        QCOMPARE(prompter.Texts(), QStringList({"一", "二"}));
    }
};

QTEST_MAIN(PrompterTest)
#include "PrompterTest.moc"
