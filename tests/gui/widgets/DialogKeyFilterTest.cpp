#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/shell/Prompter.h"
#include "gui/widgets/DialogKeyFilter.h"
#include "support/GuiTestSupport.h"

namespace {

// A dialog with an edit and a default OK button, as the program's dialogs have.
struct Dialog {
    QDialog dialog;
    QLineEdit* edit = new QLineEdit(&dialog);
    QPushButton* ok = new QPushButton("确 定", &dialog);
    int clicks = 0;

    explicit Dialog(bool filtered) {
        dialog.resize(240, 100);
        edit->setGeometry(10, 10, 200, 24);
        ok->setGeometry(10, 50, 80, 26);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, [this] {
            ++clicks;
            dialog.accept();
        });
        if (filtered) zov::gui::InstallDialogKeyFilter(&dialog);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
    }
};

}  // namespace

class DialogKeyFilterTest : public QObject {
    Q_OBJECT

  private slots:
    void KeysThatWouldCloseTheDialogAreSwallowed_data() {
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("closes");
        const int none = Qt::NoModifier;
        QTest::newRow("Return in the edit") << true << "edit" << int(Qt::Key_Return) << none << false;
        QTest::newRow("Enter in the edit") << true << "edit" << int(Qt::Key_Enter) << none << false;
        QTest::newRow("Escape in the edit") << true << "edit" << int(Qt::Key_Escape) << none << false;
        QTest::newRow("Return on the button") << true << "button" << int(Qt::Key_Return) << none << false;
        QTest::newRow("Escape on the dialog") << true << "dialog" << int(Qt::Key_Escape) << none << false;
        QTest::newRow("Alt+F4") << true << "dialog" << int(Qt::Key_F4) << int(Qt::AltModifier) << false;
        QTest::newRow("unfiltered Return") << false << "edit" << int(Qt::Key_Return) << none << true;
        QTest::newRow("unfiltered Escape") << false << "edit" << int(Qt::Key_Escape) << none << true;
    }
    void KeysThatWouldCloseTheDialogAreSwallowed() {
        QFETCH(bool, filtered);
        QFETCH(QString, target);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, closes);
        Dialog d(filtered);
        QWidget* receiver = target == "edit"     ? static_cast<QWidget*>(d.edit)
                            : target == "button" ? static_cast<QWidget*>(d.ok)
                                                 : &d.dialog;
        receiver->setFocus();
        QTest::keyClick(receiver, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(!d.dialog.isVisible(), closes);
        if (!closes) QCOMPARE(d.clicks, 0);
    }

    void OtherKeysStillWork() {
        Dialog d(true);
        d.edit->setFocus();
        QTest::keyClicks(d.edit, "abc");
        QCOMPARE(d.edit->text(), QString("abc"));
        d.ok->setFocus();
        QTest::keyClick(d.ok, Qt::Key_Space);
        QCOMPARE(d.clicks, 1);
    }

    void TheCloseBoxStillCloses() {
        Dialog d(true);
        zov::gui::test::SaveScreenshot(d.dialog, "key-filter-dialog");
        QVERIFY(d.dialog.close());
        QVERIFY(!d.dialog.isVisible());
        QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
    }

    void MessageBoxesOfTheDialogKeepTheirEnterKey() {
        Dialog d(true);
        QTimer::singleShot(0, this, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QTest::keyClick(box, Qt::Key_Return);
        });
        const auto answer =
            zov::gui::ShowBox(&d.dialog, "继续？", "提示", zov::gui::Prompter::Icon::Question,
                              zov::gui::Prompter::Buttons::YesNo, zov::gui::Prompter::Answer::Yes);
        QCOMPARE(answer, zov::gui::Prompter::Answer::Yes);
    }

    void ADestroyedDialogLeavesTheFilterWorking() {
        { Dialog gone(true); }
        Dialog d(true);
        d.edit->setFocus();
        QTest::keyClick(d.edit, Qt::Key_Return);
        QVERIFY(d.dialog.isVisible());
    }
};

QTEST_MAIN(DialogKeyFilterTest)
#include "DialogKeyFilterTest.moc"
