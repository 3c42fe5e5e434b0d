#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "gui/widgets/FilteredEdits.h"
#include "support/GuiTestSupport.h"

using zov::gui::CDataEdit;
using zov::gui::CDropEdit;
using zov::gui::CTimeEdit;

namespace {

QLineEdit* MakeEdit(const QString& kind, QWidget* parent) {
    if (kind == "time") return new CTimeEdit(parent);
    if (kind == "data") return new CDataEdit(parent);
    return new CDropEdit(parent);
}

// Drags data over the edit and drops it; true when the edit took the drop.
bool Drop(QWidget& edit, QMimeData* data) {
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&edit, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&edit, &drop);
    return drop.isAccepted();
}

QMimeData* Urls(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace

class FilteredEditsTest : public QObject {
    Q_OBJECT

  private slots:
    void TypedAndPastedTextKeepsTheAllowedCharacters_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("times typed") << "time"
                                     << "08:30,20:00"
                                     << ""
                                     << "08:30,20:00";
        QTest::newRow("letters dropped") << "time"
                                         << "0a8:3b0"
                                         << ""
                                         << "08:30";
        QTest::newRow("blanks and dots dropped") << "time"
                                                 << "8. 30"
                                                 << ""
                                                 << "830";
        QTest::newRow("times pasted") << "time"
                                      << ""
                                      << "12:00, 8:35 Uhr"
                                      << "12:00,8:35";
        QTest::newRow("numbers typed") << "data"
                                       << "1,15,28"
                                       << ""
                                       << "1,15,28";
        QTest::newRow("no colon in numbers") << "data"
                                             << "1:2-3"
                                             << ""
                                             << "123";
        QTest::newRow("numbers pasted") << "data"
                                        << "7"
                                        << "x1,2y"
                                        << "71,2";
    }
    void TypedAndPastedTextKeepsTheAllowedCharacters() {
        QFETCH(QString, kind);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, expected);
        QWidget window;
        QLineEdit* edit = MakeEdit(kind, &window);
        window.show();
        edit->setFocus();
        QTest::keyClicks(edit, typed);
        if (!pasted.isEmpty()) {
            QApplication::clipboard()->setText(pasted);
            edit->paste();
        }
        QCOMPARE(edit->text(), expected);
    }

    void BackspaceWorksAndProgramTextIsFiltered() {
        CTimeEdit edit;
        edit.setText("任务 08:00");
        QCOMPARE(edit.text(), QString("08:00"));
        edit.setText("08:001");
        edit.setCursorPosition(6);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("08:00"));
    }

    void ReturnDoesNotReachTheDialog_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("key");
        QTest::newRow("time, Return") << "time" << int(Qt::Key_Return);
        QTest::newRow("time, Enter") << "time" << int(Qt::Key_Enter);
        QTest::newRow("data, Return") << "data" << int(Qt::Key_Return);
    }
    void ReturnDoesNotReachTheDialog() {
        QFETCH(QString, kind);
        QFETCH(int, key);
        QDialog dialog;
        QLineEdit* edit = MakeEdit(kind, &dialog);
        auto* ok = new QPushButton("确定", &dialog);
        ok->move(0, 40);
        ok->setDefault(true);
        int clicks = 0;
        connect(ok, &QPushButton::clicked, &dialog, [&clicks] { ++clicks; });
        dialog.show();
        edit->setFocus();
        QTest::keyClick(edit, static_cast<Qt::Key>(key));
        QCOMPARE(clicks, 0);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
    }

    void DroppedPathBecomesAFolder_data() {
        QTest::addColumn<QString>("dropped");  // relative to a temporary folder
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("taken");
        QTest::newRow("file gives its folder") << "data/a.txt"
                                               << "data/" << true;
        QTest::newRow("folder as it is") << "data"
                                         << "data" << true;
        QTest::newRow("nested folder") << "data/sub 1"
                                       << "data/sub 1" << true;
        QTest::newRow("missing path") << "data/none.txt"
                                      << "" << false;
    }
    void DroppedPathBecomesAFolder() {
        QFETCH(QString, dropped);
        QFETCH(QString, expected);
        QFETCH(bool, taken);
        QTemporaryDir folder;
        const QString root = folder.path() + "/";
        QVERIFY(QDir().mkpath(root + "data/sub 1"));
        QVERIFY(zov::gui::test::WriteFile((root + "data/a.txt").toStdString(), "x"));
        CDropEdit edit;
        QVERIFY(edit.acceptDrops());
        QCOMPARE(Drop(edit, Urls({QUrl::fromLocalFile(root + dropped)})), taken);
        QCOMPARE(edit.text(), taken ? root + expected : QString());
    }

    void OnlyTheFirstLocalItemCounts() {
        QTemporaryDir folder;
        const QString root = folder.path() + "/";
        QVERIFY(QDir().mkpath(root + "one"));
        QVERIFY(QDir().mkpath(root + "two"));
        CDropEdit edit;
        QVERIFY(Drop(edit, Urls({QUrl::fromLocalFile(root + "one"), QUrl::fromLocalFile(root + "two")})));
        QCOMPARE(edit.text(), root + "one");
        edit.clear();
        QVERIFY(!Drop(edit, Urls({QUrl("https://example.invalid/x")})));
        auto* text = new QMimeData;
        text->setText(root + "one");
        QVERIFY(!Drop(edit, text));
        QCOMPARE(edit.text(), QString());
    }
};

QTEST_MAIN(FilteredEditsTest)
#include "FilteredEditsTest.moc"
